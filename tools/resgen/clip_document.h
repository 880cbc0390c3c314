// The animation clip as a movie of the media core, and its AVI file written by the core's own
// writer.
#pragma once

#include <filesystem>
#include <string>

#include "doc/animation_document.h"

namespace kx::resgen {

// Fills an empty document with the clip: 13-colour palette, 56 x 53 frames, 100 ms per frame.
void BuildClipDocument(CAnimationDocument& document);

// Writes the clip to path and reads it back: fails unless the file holds every frame
// run-length encoded (BI_RLE8) and decodes to exactly the frames drawn.
bool WriteClip(const std::filesystem::path& path, std::string& error);

}  // namespace kx::resgen
