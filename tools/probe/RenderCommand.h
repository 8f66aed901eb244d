#pragma once
// The probe's "render" command: pages rendered through the painter to PNG.
#include <cstdint>
#include <string>

namespace content {
class ReflowModel;
}
namespace pdf {
class Document;
}

namespace probe {

// Parses the render options after FILE (argv[3] on): PAGE or "all",
// --dpi N, --format rgb565|rgb24|rgb32, --stats, -o OUT (a PNG file; an
// existing folder, where each page is written as NAME-PAGE.png after the
// PDF file's name; or "-" to render without writing). False on a usage
// error.
bool ParseRenderOptions(int argc, char** argv);
// Renders the pages the options name; 0 when every page rendered (errors
// of a page's content are reported and its image still written).
int RenderPages(pdf::Document& document, const char* file);
// Paints page `index` as reflowed into `model` to the PNG file `path`
// ("-": nowhere) at `dpi`; 0 when the file was written.
int RenderReflowed(pdf::Document& document, int32_t index, const content::ReflowModel& model, double dpi,
                   const std::string& path);

}  // namespace probe
