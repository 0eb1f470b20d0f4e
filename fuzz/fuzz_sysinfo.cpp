// Any bytes as the iPod's SysInfo text and as its SysInfoExtended property list, then the model
// they name.
#include "IpodModel.h"
#include "SysInfo.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace corvanel::device;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const SysInfoFields fields = parseSysInfoFields(sysInfoRows(bytes));
    const SysInfoExtended extended = parseSysInfoExtended(bytes);
    for (const QString *value : {&fields.modelNumber, &fields.serialNumber, &fields.fireWireGuid, &extended.modelNumber,
                                 &extended.serialNumber, &extended.fireWireGuid})
        if (value->size() > 64)
            std::abort();
    const IpodModel model = identifyModel(fields, extended);
    if (model.known() != (model.capacityMb > 0) || model.displayName().isEmpty() || model.summary().isEmpty())
        std::abort();
    return 0;
}
