#include "ImageFile.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "PixelConvert.h"
#include "TempFiles.h"
#include "ToolError.h"

namespace {

constexpr int32_t kMaxLayerSide = 30000;  // the host's largest layer

int DepthOfType(OIIO::TypeDesc type) {
  switch (type.basetype) {
    case OIIO::TypeDesc::UINT8:
    case OIIO::TypeDesc::INT8: return kDepth8;
    case OIIO::TypeDesc::HALF:
    case OIIO::TypeDesc::FLOAT:
    case OIIO::TypeDesc::DOUBLE: return kDepthFloat;
    default: return kDepth16;
  }
}

OIIO::TypeDesc TypeOfDepth(int depth) {
  if (depth == kDepth8) return OIIO::TypeDesc::UINT8;
  if (depth == kDepth16) return OIIO::TypeDesc::UINT16;
  return OIIO::TypeDesc::FLOAT;
}

uint32_t FileMax(int depth) { return depth == kDepth8 ? 255u : depth == kDepth16 ? 65535u : 1u; }

// Converts one file channel value (as read at `fileDepth`) to the world at `worldDepth`.
void StoreFromFile(Image& image, size_t i, const void* data, size_t k, int fileDepth) {
  if (fileDepth == kDepthFloat) {
    float f = static_cast<const float*>(data)[k];
    if (image.depth == kDepthFloat)
      image.pixelsFloat[i] = f;
    else if (image.depth == kDepth8)
      image.pixels8[i] = static_cast<uint8_t>(FloatToChannel(f, 255));
    else
      image.pixels16[i] = static_cast<uint16_t>(FloatToChannel(f, 32768));
    return;
  }
  uint32_t v = fileDepth == kDepth8 ? static_cast<const uint8_t*>(data)[k]
                                    : static_cast<const uint16_t*>(data)[k];
  uint32_t max = FileMax(fileDepth);
  if (image.depth == kDepthFloat)
    image.pixelsFloat[i] = ChannelToFloat(v, max);
  else if (image.depth == kDepth8)
    image.pixels8[i] = static_cast<uint8_t>(RescaleChannel(v, max, 255));
  else
    image.pixels16[i] = static_cast<uint16_t>(RescaleChannel(v, max, 32768));
}

void SetOpaque(Image& image, size_t i) {
  if (image.depth == kDepthFloat)
    image.pixelsFloat[i] = 1.0f;
  else if (image.depth == kDepth8)
    image.pixels8[i] = 255;
  else
    image.pixels16[i] = 32768;
}

void AssociatePixel(Image& image, size_t i) {
  if (image.depth == kDepthFloat) {
    for (int c = 1; c < 4; ++c)
      image.pixelsFloat[i + c] = AssociateChannel(image.pixelsFloat[i + c], image.pixelsFloat[i]);
  } else if (image.depth == kDepth8) {
    for (int c = 1; c < 4; ++c)
      image.pixels8[i + c] =
          static_cast<uint8_t>(AssociateChannel(image.pixels8[i + c], image.pixels8[i], 255u));
  } else {
    for (int c = 1; c < 4; ++c)
      image.pixels16[i + c] =
          static_cast<uint16_t>(AssociateChannel(image.pixels16[i + c], image.pixels16[i], 32768u));
  }
}

}  // namespace

bool FormatIsUnassociated(const std::string& format) {
  // The library's readers of these report unassociated alpha, or the format defines it so
  // (ICO); its writers would otherwise dissociate in float, or not at all (HEIF, ICO).
  // WebP is left out: this library's reader associates it whatever it is asked.
  static const char* const kUnassociated[] = {"png", "targa", "heif", "ico"};
  for (const char* name : kUnassociated)
    if (format == name) return true;
  return false;
}

std::string OutputFormatName(const std::string& path) {
  auto out = OIIO::ImageOutput::create(path);
  if (!out) {
    OIIO::geterror();  // clear the library's pending message
    throw UsageError("\"" + path +
                     "\": unsupported output format (no image writer for its extension)");
  }
  return out->format_name();
}

void CheckWritableFormat(const std::string& path) { (void)OutputFormatName(path); }

void CheckOutputFolder(const std::string& path) {
  size_t slash = path.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (access(dir.c_str(), W_OK | X_OK) != 0)
    throw ToolError("cannot write \"" + path + "\": the folder \"" + dir +
                    "\" does not exist or is not writable");
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
    throw ToolError("cannot write \"" + path + "\": it is a folder");
}

Image ReadImageFile(const std::string& path, const ReadOptions& options, ImageFileInfo* info) {
  OIIO::ImageSpec config;
  // We associate alpha ourselves, exactly and in the world's depth.
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(path, &config);
  if (!in) {
    std::string why = OIIO::geterror();
    throw ToolError("cannot read \"" + path + "\": " + (why.empty() ? "unknown error" : why));
  }
  const OIIO::ImageSpec& desc = in->spec();
  if (desc.deep) throw ToolError("\"" + path + "\": deep images are not supported");
  if (desc.full_width <= 0 || desc.full_height <= 0 || desc.full_width > kMaxLayerSide ||
      desc.full_height > kMaxLayerSide || desc.width <= 0 || desc.height <= 0 ||
      desc.width > kMaxLayerSide || desc.height > kMaxLayerSide || desc.depth > 1 ||
      desc.nchannels < 1)
    throw ToolError("\"" + path + "\": image size " + std::to_string(desc.full_width) + "x" +
                    std::to_string(desc.full_height) +
                    " is not one the host takes (1 to 30000 a side)");
  ImageFileInfo fileInfo;
  fileInfo.format = in->format_name();
  fileInfo.channels = desc.nchannels;
  fileInfo.fileDepth = DepthOfType(desc.format);
  fileInfo.isHalf = desc.format.basetype == OIIO::TypeDesc::HALF;
  fileInfo.hasAlpha = desc.alpha_channel >= 0 && desc.alpha_channel < desc.nchannels;
  fileInfo.unassociatedAlpha =
      fileInfo.hasAlpha && (desc.get_int_attribute("oiio:UnassociatedAlpha", 0) != 0 ||
                            FormatIsUnassociated(fileInfo.format));
  fileInfo.displayX = desc.full_x;
  fileInfo.displayY = desc.full_y;
  fileInfo.displayWidth = desc.full_width;
  fileInfo.displayHeight = desc.full_height;

  int nch = desc.nchannels;
  size_t values =
      static_cast<size_t>(desc.width) * static_cast<size_t>(desc.height) * static_cast<size_t>(nch);
  std::vector<uint8_t> data8;
  std::vector<uint16_t> data16;
  std::vector<float> dataFloat;
  void* data = nullptr;
  if (fileInfo.fileDepth == kDepth8) {
    data8.resize(values);
    data = data8.data();
  } else if (fileInfo.fileDepth == kDepth16) {
    data16.resize(values);
    data = data16.data();
  } else {
    dataFloat.resize(values);
    data = dataFloat.data();
  }
  if (!in->read_image(0, 0, 0, nch, TypeOfDepth(fileInfo.fileDepth), data)) {
    std::string why = in->geterror();
    throw ToolError("cannot read the pixels of \"" + path + "\": " + why);
  }
  in->close();

  // Which file channel feeds each world channel (alpha, red, green, blue); -1 for none.
  int source[4] = {-1, -1, -1, -1};
  if (options.rawChannels) {
    for (int c = 0; c < 4 && c < nch; ++c) source[(c + 1) % 4] = c;
  } else {
    std::vector<int> colour;
    for (int c = 0; c < nch; ++c)
      if (c != desc.alpha_channel) colour.push_back(c);
    if (fileInfo.hasAlpha) source[0] = desc.alpha_channel;
    for (int c = 0; c < 3; ++c) {
      if (colour.empty()) break;
      source[c + 1] = colour.size() == 1                    ? colour[0]
                      : c < static_cast<int>(colour.size()) ? colour[c]
                                                            : -1;
    }
  }

  int depth = options.depth ? options.depth : fileInfo.fileDepth;
  Image image = MakeImage(desc.full_width, desc.full_height, depth);
  bool associate = fileInfo.unassociatedAlpha && !options.rawChannels;
  for (int32_t y = 0; y < desc.height; ++y) {
    int32_t ly = desc.y + y - desc.full_y;
    if (ly < 0 || ly >= image.height) continue;
    for (int32_t x = 0; x < desc.width; ++x) {
      int32_t lx = desc.x + x - desc.full_x;
      if (lx < 0 || lx >= image.width) continue;
      size_t i = ChannelIndex(image, lx, ly, 0);
      size_t k =
          (static_cast<size_t>(y) * static_cast<size_t>(desc.width) + static_cast<size_t>(x)) *
          static_cast<size_t>(nch);
      for (int c = 0; c < 4; ++c) {
        if (source[c] >= 0)
          StoreFromFile(image, i + c, data, k + static_cast<size_t>(source[c]), fileInfo.fileDepth);
        else if (c == 0)
          SetOpaque(image, i);
      }
      if (associate) AssociatePixel(image, i);
    }
  }
  if (info) *info = fileInfo;
  return image;
}

void WriteImageFile(const std::string& path, const Image& image, const WriteOptions& options) {
  auto out = OIIO::ImageOutput::create(path);
  if (!out) {
    OIIO::geterror();
    throw UsageError("\"" + path +
                     "\": unsupported output format (no image writer for its extension)");
  }
  std::string format = out->format_name();
  bool withAlpha = out->supports("alpha");
  int nch = withAlpha ? 4 : 3;
  bool dissociate = withAlpha && !options.rawChannels &&
                    (FormatIsUnassociated(format) ||
                     (options.unassociatedAlpha && options.sourceFormat == format));

  OIIO::TypeDesc fileType = TypeOfDepth(image.depth);
  if (image.depth == kDepthFloat && options.halfFloat) fileType = OIIO::TypeDesc::HALF;
  OIIO::ImageSpec desc(image.width, image.height, nch, fileType);
  desc.channelnames = withAlpha ? std::vector<std::string>{"R", "G", "B", "A"}
                                : std::vector<std::string>{"R", "G", "B"};
  desc.alpha_channel = withAlpha ? 3 : -1;
  if (withAlpha) {
    // Marks data that is already in the file's own form (dissociated, or raw channels),
    // so that the writer converts nothing.
    desc.attribute("oiio:UnassociatedAlpha", dissociate || options.rawChannels ? 1 : 0);
  }
  if (out->supports("displaywindow") && options.displayWidth > 0 && options.displayHeight > 0) {
    desc.x = options.displayX + image.originX;
    desc.y = options.displayY + image.originY;
    desc.full_x = options.displayX;
    desc.full_y = options.displayY;
    desc.full_width = options.displayWidth;
    desc.full_height = options.displayHeight;
  }

  // Interleave into the file's channel order and value range.
  size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  std::vector<uint8_t> data8;
  std::vector<uint16_t> data16;
  std::vector<float> dataFloat;
  const void* data = nullptr;
  uint32_t max = WorldMax(image.depth);
  if (image.depth == kDepth8)
    data8.resize(pixels * static_cast<size_t>(nch));
  else if (image.depth == kDepth16)
    data16.resize(pixels * static_cast<size_t>(nch));
  else
    dataFloat.resize(pixels * static_cast<size_t>(nch));
  for (size_t p = 0; p < pixels; ++p) {
    for (int c = 0; c < nch; ++c) {
      size_t src = p * 4 + static_cast<size_t>((c + 1) % 4);  // R G B A from A R G B
      size_t alpha = p * 4;
      size_t dst = p * static_cast<size_t>(nch) + static_cast<size_t>(c);
      bool colour = c < 3;
      if (image.depth == kDepthFloat) {
        float v = image.pixelsFloat[src];
        dataFloat[dst] = dissociate && colour ? DissociateChannel(v, image.pixelsFloat[alpha]) : v;
      } else {
        uint32_t v = image.depth == kDepth8 ? image.pixels8[src] : image.pixels16[src];
        uint32_t a = image.depth == kDepth8 ? image.pixels8[alpha] : image.pixels16[alpha];
        if (dissociate && colour) v = DissociateChannel(v, a, max);
        if (image.depth == kDepth8)
          data8[dst] = static_cast<uint8_t>(std::min<uint32_t>(v, 255));
        else
          data16[dst] = static_cast<uint16_t>(RescaleChannel(v, 32768, 65535));
      }
    }
  }
  data = image.depth == kDepth8    ? static_cast<const void*>(data8.data())
         : image.depth == kDepth16 ? static_cast<const void*>(data16.data())
                                   : static_cast<const void*>(dataFloat.data());

  WriteThroughTemporary(path, [&](const std::string& temp) {
    bool ok = out->open(temp, desc) && out->write_image(TypeOfDepth(image.depth), data);
    ok = out->close() && ok;
    if (!ok) {
      std::string why = out->geterror();
      throw ToolError("cannot write \"" + path + "\": " + (why.empty() ? "write failed" : why));
    }
  });
}
