// resgen: builds the program's binary resources from their readable sources.
//
//   resgen bmp ART.txt OUT.bmp [WIDTHxHEIGHT]   4-bit bitmap; the optional size is checked
//   resgen ico OUT.ico ART.txt...               icon with one image per picture
//   resgen clip OUT.avi                         the animation clip, run-length encoded
//
// Exit status 0 on success, 1 with a message on standard error otherwise.
#include <cstdio>
#include <string>
#include <vector>

#include "clip_document.h"
#include "image_files.h"
#include "pixel_art.h"

namespace {

using kx::resgen::PixelArt;

int Usage() {
    std::fprintf(stderr,
                 "usage: resgen bmp ART.txt OUT.bmp [WIDTHxHEIGHT]\n"
                 "       resgen ico OUT.ico ART.txt...\n"
                 "       resgen clip OUT.avi\n");
    return 1;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "resgen: %s\n", message.c_str());
    return 1;
}

int MakeBitmap(const std::vector<std::string>& args) {
    if (args.size() != 2 && args.size() != 3) {
        return Usage();
    }
    std::string error;
    PixelArt art;
    if (!kx::resgen::LoadPixelArt(args[0], art, error)) {
        return Fail(error);
    }
    if (args.size() == 3) {
        std::string want = args[2];
        std::string have = std::to_string(art.width) + "x" + std::to_string(art.height);
        if (want != have) {
            return Fail(args[0] + ": picture is " + have + ", expected " + want);
        }
    }
    std::vector<uint8_t> file;
    if (!kx::resgen::EncodeBmp4(art, file, error)) {
        return Fail(args[0] + ": " + error);
    }
    return kx::resgen::WriteFileBytes(args[1], file, error) ? 0 : Fail(error);
}

int MakeIcon(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        return Usage();
    }
    std::string error;
    std::vector<PixelArt> images;
    for (size_t i = 1; i < args.size(); ++i) {
        PixelArt art;
        if (!kx::resgen::LoadPixelArt(args[i], art, error)) {
            return Fail(error);
        }
        images.push_back(std::move(art));
    }
    std::vector<uint8_t> file;
    if (!kx::resgen::EncodeIco(images, file, error)) {
        return Fail(error);
    }
    return kx::resgen::WriteFileBytes(args[0], file, error) ? 0 : Fail(error);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "bmp") {
        return MakeBitmap(args);
    }
    if (command == "ico") {
        return MakeIcon(args);
    }
    if (command == "clip" && args.size() == 1) {
        std::string error;
        return kx::resgen::WriteClip(args[0], error) ? 0 : Fail(error);
    }
    return Usage();
}
