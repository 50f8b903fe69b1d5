#pragma once
// giflib as the independent reader of the GIF files our code writes.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gifpeer {

struct PeerGif {
  int width = 0, height = 0;
  std::vector<GifColorType> table;  // the global colour table
  std::vector<uint8_t> indexes;     // first image, top row first
  int transparent = -2;             // -2: no graphic control extension
};

inline PeerGif Read(const std::string& path) {
  PeerGif out;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) {
    ADD_FAILURE() << "giflib cannot open " << path << ": " << GifErrorString(error);
    return out;
  }
  EXPECT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
  if (gif->ImageCount == 1 && gif->SColorMap) {
    const SavedImage& image = gif->SavedImages[0];
    EXPECT_EQ(image.ImageDesc.Width, gif->SWidth);
    EXPECT_EQ(image.ImageDesc.Height, gif->SHeight);
    out.width = gif->SWidth;
    out.height = gif->SHeight;
    out.table.assign(gif->SColorMap->Colors, gif->SColorMap->Colors + gif->SColorMap->ColorCount);
    out.indexes.assign(image.RasterBits, image.RasterBits + size_t(out.width) * out.height);
    GraphicsControlBlock gcb;
    if (DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK) out.transparent = gcb.TransparentColor;
  } else {
    ADD_FAILURE() << path << ": not one image with a global colour table";
  }
  DGifCloseFile(gif, &error);
  return out;
}

}  // namespace gifpeer
