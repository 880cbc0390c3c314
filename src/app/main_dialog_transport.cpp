// The main window's transport commands: play/pause, stepping, first and last frame, repeat, the
// frame slider, the speed field, and the preview's notification after each playback step.
// Stepping and the slider do not stop playback: a running timer goes on from the new frame.
#include "app/main_dialog.h"

#include "resources/resource.h"

namespace kx {

namespace {

int32_t Passes(int32_t repeat) {
    return repeat ? CPreviewWindow::kRepeatPasses : CMainDialog::kSinglePass;
}

}  // namespace

void CMainDialog::OnPlayPause() {
    if (playing) {
        preview.Play(0);
        StopPlayingMark();
    } else {
        playing = 1;
        CheckMenu(ID_PLAY_PAUSE, 1);
        playBar.SetButtonCheck(ID_PLAY_PAUSE, 1);
        preview.Play(Passes(repeat));
    }
    UpdateData(FALSE);
}

void CMainDialog::ShowFrameNumber() {
    preview.SetFrame(frameNumber - 1);
    slider.SetPos(frameNumber);
    UpdateData(FALSE);
}

void CMainDialog::OnStepBack() {
    // The number of the previous frame is the current 0-based index; before the first comes
    // the last.
    frameNumber = preview.currentFrame;
    if (frameNumber == 0) {
        frameNumber = preview.frameCount;
    }
    ShowFrameNumber();
}

void CMainDialog::OnStepForward() {
    frameNumber = preview.currentFrame + 2;
    if (preview.frameCount < frameNumber) {
        frameNumber = 1;
    }
    ShowFrameNumber();
}

void CMainDialog::OnFirstFrame() {
    if (frameNumber == 1) {
        return;
    }
    frameNumber = 1;
    ShowFrameNumber();
}

void CMainDialog::OnLastFrame() {
    if (frameNumber == preview.frameCount) {
        return;
    }
    frameNumber = preview.frameCount;
    ShowFrameNumber();
}

void CMainDialog::OnRepeat() {
    ToggleView(ID_PLAY_REPEAT, repeat);
    if (playing) {
        // Starts the pass count again from the next frame.
        preview.Play(Passes(repeat));
    }
}

void CMainDialog::OnSliderMoved() {
    frameNumber = slider.GetPos();
    preview.SetFrame(frameNumber - 1);
    UpdateData(FALSE);
}

void CMainDialog::OnSpeedChanged() {
    if (!HasMovie()) {
        return;
    }
    // A field that does not validate has shown its message; the period is set from whatever
    // the exchange left in speedMs (the old value for text that is no number).
    UpdateData(TRUE);
    preview.SetInterval(speedMs);
}

void CMainDialog::OnFrameStepped() {
    frameNumber = preview.currentFrame + 1;
    slider.SetPos(frameNumber);
    if (preview.passesLeft == 0) {
        StopPlayingMark();
    }
    UpdateData(FALSE);
}

}  // namespace kx
