// GDI+ for the pictures that live in a metafile's EMF+ records, which the
// platform's GDI player skips. GDI+ never draws on the printer's device
// context: it draws onto a metafile recording context made against that
// device, and the job plays the recorded GDI metafile through its own
// inspected playback, like any other metafile.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// Starts GDI+ for the process; the program and the test programs call it
// once at start and StopGdiPlus once at the end. Returns whether it started.
bool StartGdiPlus();
void StopGdiPlus();

// The metafile's EMF+ records as GDI+ draws them into target, recorded as
// the bytes of a GDI-only metafile against device whose frame is target in
// device pixels: played into target on device it lands where GDI+ drew it.
// GDI+ plays a dual metafile as it plays one anywhere: its EMF+ records,
// and of its GDI records those after an EMF+ GetDC record. Of a metafile of
// EMF+ records only, it plays the EMF+ records and leaves the GDI records
// to the caller, because text that a program wrote in GDI records alone,
// with no GetDC record before it, would be lost. What GDI+ wrote as opaque
// copies where it meant alpha blends stays so here: the recording's
// inspection restores them (InspectRecording). No bytes when GDI+ is not
// started or cannot draw the metafile.
struct GdiPlusDrawing {
    std::vector<uint8_t> recorded;
    bool dual;  // the metafile carries a GDI rendering of the whole picture too
};
GdiPlusDrawing RecordThroughGdiPlus(HDC device, HENHMETAFILE metafile, const RECT& target);

// The metafile's bytes as the platform keeps them; none when it gives none.
std::vector<uint8_t> ReadMetafileBytes(HENHMETAFILE metafile);
