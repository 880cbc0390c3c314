// The control that shows one frame of a movie and plays the movie on a timer.
//
// A frame is copied into a device bitmap with palette-index colours (DIB_PAL_COLORS) through a
// logical palette built from the movie's colour table, so rewriting one palette entry recolours
// every pixel of that index without touching the frame data: that is how the movie's transparent
// colour is shown in the button-face colour. The image is centred, or stretched to the control
// with its aspect ratio kept; the rest of the control is painted in the button-face colour.
//
// Playback steps through the frames on timer 1 of this window and, after every step, sends the
// parent WM_COMMAND with the control's id and notification code 0 before the new frame is drawn.
#ifndef KINETRIX_VIEW_PREVIEW_WINDOW_H
#define KINETRIX_VIEW_PREVIEW_WINDOW_H

#include <windows.h>

#include <cstdint>

#include "doc/animation_document.h"
#include "framework/controls.h"
#include "framework/gdi.h"

namespace kx {

class CPreviewWindow : public CStatic {
public:
    static constexpr UINT_PTR kPlaybackTimer = 1;
    // Passes of a repeating play: practically without end.
    static constexpr int32_t kRepeatPasses = 0x7FFFFFFF;

    CPreviewWindow() = default;

    // Binds a movie (or unbinds with null, which also stops playback) and redraws with erase.
    // The movie must outlive the binding.
    void SetDocument(const CAnimationDocument* doc);
    // Rebuilds the palette from the bound movie (after its colour table changed); no redraw.
    // Does nothing when doc is null.
    void RefreshPalette(const CAnimationDocument* doc);
    // Shows frame index, clamped to the movie's frames.
    void SetFrame(int32_t index);
    // Shows only the top rows of each frame (at least 1, at most the frame height).
    void SetShownHeight(int32_t rows);
    void SetFit(BOOL on);
    void SetTransparent(BOOL on);

    // Timer period of playback; during playback the timer is set again at once.
    void SetInterval(int32_t ms);
    // passes > 0 advances one frame and starts playing that many passes (only when there are
    // frames); passes <= 0 stops, keeping the current frame on screen.
    void Play(int32_t passes);

    // Draws at once on the control's window DC; with erase the margins are painted too.
    BOOL Redraw(BOOL erase);
    // Draws the current frame on dc, which covers the client area with the same coordinates (the
    // window DC or a memory DC of the client size). Returns the blit result, 1 when only the
    // background was painted, 0 when a GDI call failed.
    BOOL Draw(HDC dc, BOOL erase);

    // For the owner's WM_QUERYNEWPALETTE: realizes the palette as a foreground palette and
    // invalidates the control when that changed the system palette. 1 when it could be selected.
    BOOL QueryNewPalette();
    // For the owner's WM_PALETTECHANGED: repaints unless this control changed the palette.
    void PaletteChanged(HWND changedBy);

    const CAnimationDocument* document = nullptr;  // shown movie, not owned
    Palette palette;                               // built from the movie's colour table
    int32_t frameCount = 0;
    int32_t currentFrame = 0;
    int32_t frameWidth = 0;
    int32_t shownHeight = 0;
    int32_t frameHeight = 0;
    int32_t passesLeft = 0;  // 0 when stopped
    int32_t intervalMs = 0;
    int32_t fit = 0;
    int32_t transparent = 0;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool BuildPalette();
    void ApplyTransparency(bool on);
    void Step();
    void NotifyOwner();
    // Copies the current frame's shown rows into bitmap through the palette selected in dc.
    bool CopyFrame(HDC dc, HBITMAP bitmap, int32_t rows) const;
};

}  // namespace kx

#endif  // KINETRIX_VIEW_PREVIEW_WINDOW_H
