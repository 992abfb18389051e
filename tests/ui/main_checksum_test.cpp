// The checksum settings on the page "Frame trigger settings", the length adjustment
// beside the length field, and the checksum counts in the status group.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>

#include "MainWindowTestSupport.h"
#include "ZLogger.h"

using namespace maintest;

namespace {

class ChecksumPageTest : public MainWindowTest {};

ZFrameSettings Frames(int32_t algorithm, int32_t skipStart, int32_t gap, int32_t skipEnd, bool msbFirst,
                      bool drop, int32_t lengthAdjust) {
    ZFrameSettings frames;
    frames.ChecksumAlgorithm = algorithm;
    frames.ChecksumSkipStart = skipStart;
    frames.ChecksumGap = gap;
    frames.ChecksumSkipEnd = skipEnd;
    frames.ChecksumMSBFirst = msbFirst;
    frames.DropBadFrames = drop;
    frames.LengthAdjust = lengthAdjust;
    return frames;
}

}  // namespace

TEST_F(ChecksumPageTest, ShownSettingsAreCollectedUnchanged) {
    const ZFrameSettings cases[] = {
        Frames(caXor8Hex, 1, 1, 2, true, false, 0),
        Frames(caFletcher8, 2, 0, 0, true, true, 2),
        Frames(caCrc32, 0, 3, 4, false, false, -6),
        ZFrameSettings(),
    };
    for (const ZFrameSettings& frames : cases) {
        SCOPED_TRACE(frames.ChecksumAlgorithm);
        ZLoggerSettings settings;
        settings.Frames = frames;
        Window().ShowSettings(settings);
        EXPECT_EQ(Find<QComboBox>("cb_ChecksumAlgorithm")->currentIndex(), frames.ChecksumAlgorithm);
        EXPECT_EQ(Find<QSpinBox>("ud_ChecksumSkipStart")->value(), frames.ChecksumSkipStart);
        EXPECT_EQ(Find<QSpinBox>("ud_ChecksumGap")->value(), frames.ChecksumGap);
        EXPECT_EQ(Find<QSpinBox>("ud_ChecksumSkipEnd")->value(), frames.ChecksumSkipEnd);
        EXPECT_EQ(Find<QCheckBox>("chk_ChecksumMSBFirst")->isChecked(), frames.ChecksumMSBFirst);
        EXPECT_EQ(Find<QCheckBox>("chk_DropBadFrames")->isChecked(), frames.DropBadFrames);
        EXPECT_EQ(Find<QSpinBox>("ud_LengthAdjust")->value(), frames.LengthAdjust);
        EXPECT_EQ(Window().CollectSettings().Frames, frames);
    }
    // An algorithm the window does not know shows as none.
    ZLoggerSettings unknown;
    unknown.Frames.ChecksumAlgorithm = 40;
    Window().ShowSettings(unknown);
    EXPECT_EQ(Window().CollectSettings().Frames.ChecksumAlgorithm, caNone);
}

TEST_F(ChecksumPageTest, TheControlsAreSavedToAndLoadedFromASettingsFile) {
    Find<QComboBox>("cb_ChecksumAlgorithm")->setCurrentIndex(caCrc16Modbus);
    Find<QSpinBox>("ud_ChecksumSkipStart")->setValue(3);
    Find<QCheckBox>("chk_ChecksumMSBFirst")->setChecked(false);
    Find<QCheckBox>("chk_DropBadFrames")->setChecked(true);
    Find<QSpinBox>("ud_LengthAdjust")->setValue(-2);
    ZLoggerSettings settings = Window().CollectSettings();
    settings.CaptureMode = cmDynamicSize;
    ASSERT_TRUE(Window().GetLogger()->SetSettings(settings));
    const std::string file = Home() + "checksum.scs";
    std::string error;
    ASSERT_TRUE(Window().GetLogger()->SaveSettings(file, false, error)) << error;
    EXPECT_NE(ReadBytes(file).find("[_frames]\r\nChecksumAlgorithm=5\r\n"), std::string::npos);

    Window().ShowSettings(ZLoggerSettings());
    EXPECT_EQ(Find<QComboBox>("cb_ChecksumAlgorithm")->currentIndex(), caNone);
    ASSERT_TRUE(Window().LoadSettingsFile(QString::fromStdString(file)));
    EXPECT_EQ(Window().CollectSettings().Frames, Frames(caCrc16Modbus, 3, 0, 0, false, true, -2));
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(ChecksumPageTest, AChecksumInACaptureOfAllBytesIsRefusedAtStart) {
    ZLoggerSettings settings;
    settings.CaptureMode = cmAllBytes;
    settings.Frames.ChecksumAlgorithm = caXor8;
    Window().ShowSettings(settings);
    Click("btn_StartCapture");
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].Kind, ZMessageBox::Kind::Error);
    // The box names the modes that frame; the silence mode frames without a start trigger.
    EXPECT_EQ(boxes_[0].Text,
              "A checksum is checked in frames only: choose a capture mode that frames (between start and "
              "stop triggers, start trigger with a fixed or a dynamic size, or frames separated by silence), "
              "or set the checksum to none!");
    EXPECT_FALSE(Window().GetLogger()->IsCapturing());
}

TEST_F(ChecksumPageTest, TheStatusGroupShowsTheCounts) {
    EXPECT_EQ(Find<QLabel>("lbl_Checksums")->text(), "Checksums: 0 good, 0 bad");
    auto message = std::make_unique<sStatusMsg>();
    message->Kind = 6;
    message->Count = 12;
    message->Total = 3;
    Window().StatusArrived(std::move(message));
    EXPECT_EQ(Find<QLabel>("lbl_Checksums")->text(), "Checksums: 12 good, 3 bad");
    Window().SetCaptureState(true);
    EXPECT_EQ(Find<QLabel>("lbl_Checksums")->text(), "Checksums: 0 good, 0 bad");
    Window().SetCaptureState(false);
}
