// The bass slider: its geometry, its state across windows and what it sends.
#include "FSound.h"
#include "RecordingDialogs.h"
#include "frmEQ.h"
#include "mdlEQ.h"

#include <gtest/gtest.h>

TEST(Equaliser, SliderGeometryAndReopenState)
{
    EXPECT_FLOAT_EQ(gainForWidth(150), 0.0f);
    EXPECT_FLOAT_EQ(gainForWidth(302), 15.2f);
    EXPECT_FLOAT_EQ(gainForWidth(1), -14.9f);
    EXPECT_EQ(widthForGain(-3.5f), 115);

    corvanel::RecordingDialogs dialogs;
    corvanel::ScopedDialogs scoped(dialogs);
    Equaliser equaliser;
    {
        frmEQ eq(equaliser);
        EXPECT_EQ(eq.picBass->shpBassWidth(), 150);
        eq.picBass_MouseMove(149); // width 150: exactly 0 dB
        EXPECT_FLOAT_EQ(equaliser.BassGain, 0.0f);
        eq.picBass_MouseMove(219);
        EXPECT_FLOAT_EQ(equaliser.BassGain, 7.0f);
    }
    frmEQ again(equaliser);
    EXPECT_EQ(again.picBass->shpBassWidth(), 220) << "the slider is where it was left";
    // Nothing plays: the gain is kept for the next song and no box appears.
    EXPECT_EQ(dialogs.count(), 0u);
}
