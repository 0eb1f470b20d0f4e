# Corvanel: the two set-up commands are `make run` and `make test`.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD_TEST := build
BUILD_RELEASE := build-release
BUILD_BENCH := build-bench
BUILD_FUZZ := build-fuzz
DEMO := $(BUILD_RELEASE)/demo-ipod
FUZZ_SECONDS ?= 60

.PHONY: deps release package run demo test bench fuzz clean format format-check

deps:
	@./scripts/install-deps.sh

release: deps
	cmake -S . -B $(BUILD_RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANEL_TESTS=OFF
	cmake --build $(BUILD_RELEASE) -j $(JOBS)

# The Debian package of the release build: build-release/corvanel_<version>_<arch>.deb.
package: release
	cd $(BUILD_RELEASE) && cpack -G DEB
	@ls -1 $(BUILD_RELEASE)/corvanel_*.deb

demo: release
	@if [ ! -f $(DEMO)/iPod_Control/iTunes/iTunesDB ]; then \
	  $(BUILD_RELEASE)/bin/mkipod demo $(DEMO); fi

# Without any sound output (no PulseAudio/PipeWire socket, no ALSA device) the player cannot
# start; the demo then runs with SDL's silent driver so that the rest can be tried.
run: demo
	@if [ -z "$$SDL_AUDIODRIVER" ] && ! ls /dev/snd/pcm* >/dev/null 2>&1 \
	   && [ ! -S "$${XDG_RUNTIME_DIR:-/run/user/$$(id -u)}/pulse/native" ] \
	   && [ ! -S "$${XDG_RUNTIME_DIR:-/run/user/$$(id -u)}/pipewire-0" ]; then \
	  echo "No sound output found on this machine: running the demo without sound."; \
	  export SDL_AUDIODRIVER=dummy; fi; \
	$(BUILD_RELEASE)/bin/corvanel $(abspath $(DEMO))

# The sources as clang-format (installed by the install script) writes them.
FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench fuzz tools -name '*.cpp' -o -name '*.h')

format: deps
	clang-format -i $(FORMAT_FILES)

format-check: deps
	@clang-format --dry-run --Werror $(FORMAT_FILES) || { echo "Unformatted code: run 'make format'."; exit 1; }

test: deps format-check
	cmake -S . -B $(BUILD_TEST) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANEL_SANITIZE=ON
	cmake --build $(BUILD_TEST) -j $(JOBS)
	cd $(BUILD_TEST) && QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
	  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 300

bench: deps
	cmake -S . -B $(BUILD_BENCH) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANEL_TESTS=OFF -DCORVANEL_BENCH=ON
	cmake --build $(BUILD_BENCH) -j $(JOBS)
	@for b in $(BUILD_BENCH)/bin/bench_*; do echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b || exit 1; done

fuzz: deps
	# clang 16 with libstdc++ 12 needs the concepts level raised for <expected>.
	CC=clang-16 CXX=clang++-16 cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCORVANEL_FUZZ=ON -DCORVANEL_TESTS=OFF "-DCMAKE_CXX_FLAGS=-Wno-macro-redefined -D__cpp_concepts=202002L"
	cmake --build $(BUILD_FUZZ) -j $(JOBS)
	@for f in $(BUILD_FUZZ)/bin/fuzz_*; do echo "== $$f ($(FUZZ_SECONDS) s)"; \
	  mkdir -p $(BUILD_FUZZ)/corpus/$$(basename $$f); \
	  extra=""; case "$$(basename $$f)" in fuzz_itunesdb|fuzz_device) [ -d ../shared/fixtures/ipod ] && extra=../shared/fixtures/ipod;; esac; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -timeout=5 -rss_limit_mb=2048 $(BUILD_FUZZ)/corpus/$$(basename $$f) fuzz/seeds/$$(basename $$f) $$extra || exit 1; done

clean:
	rm -rf $(BUILD_TEST) $(BUILD_RELEASE) $(BUILD_BENCH) $(BUILD_FUZZ)
