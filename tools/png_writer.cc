// PNG files for the previews.
#include "tools/png_writer.h"

#include <png.h>

namespace zelt::view {

bool WritePng(const std::string& path, const PngImage& image, std::string* error) {
  std::size_t size = static_cast<std::size_t>(image.width) * image.height * image.channels;
  if (image.width <= 0 || image.height <= 0 || (image.channels != 1 && image.channels != 3) ||
      image.pixels.size() != size) {
    *error = path + ": no image to write";
    return false;
  }
  png_image png = {};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = image.channels == 1 ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
  if (png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr) == 0) {
    *error = path + ": " + png.message;
    return false;
  }
  return true;
}

bool ReadPng(const std::string& path, int channels, PngImage* image, std::string* error) {
  png_image png = {};
  png.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&png, path.c_str()) == 0) {
    *error = path + ": " + png.message;
    return false;
  }
  png.format = channels == 1 ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
  image->width = static_cast<int>(png.width);
  image->height = static_cast<int>(png.height);
  image->channels = channels;
  image->pixels.assign(PNG_IMAGE_SIZE(png), 0);
  if (png_image_finish_read(&png, nullptr, image->pixels.data(), 0, nullptr) == 0) {
    *error = path + ": " + png.message;
    png_image_free(&png);
    return false;
  }
  return true;
}

}  // namespace zelt::view
