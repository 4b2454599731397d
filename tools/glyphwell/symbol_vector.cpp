#include "tools/glyphwell/symbol_vector.h"

#include <cmath>
#include <cstdio>
#include <vector>


namespace gwcli {
namespace {

// A decimal number as both formats read it: no exponent, at most six decimals, no trailing zeros.
std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    std::string s = text;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

// "r g b" in 0..1 for a 0x00BBGGRR colour.
std::string Rgb(uint32_t bgr) {
    return Number((bgr & 0xFF) / 255.0) + " " + Number(((bgr >> 8) & 0xFF) / 255.0) + " " +
           Number(((bgr >> 16) & 0xFF) / 255.0);
}

struct Box {
    long x, y, w, h;
};

// What is painted, in the picture's pixels measured from its top left corner, and in which
// colour: the white margin square, the light modules' square when it differs, then every run of
// dark modules in a row.
struct Drawing {
    long side = 0;
    std::vector<std::pair<uint32_t, std::vector<Box>>> layers;
};

Drawing Draw(const QRCodeSymbol& m, const GwSymbolLook& look) {
    Drawing d;
    const long p = look.pixelSize, margin = look.margin;
    d.side = GwSymbolPictureSide(look, m.size);
    if (!look.transparent) {
        d.layers.push_back({0xFFFFFF, {{0, 0, d.side, d.side}}});
        if (look.background != 0xFFFFFF && p > 0)
            d.layers.push_back({look.background, {{margin, margin, p * m.size, p * m.size}}});
    }
    std::vector<Box> runs;
    for (int y = 0; y < m.size && p > 0; ++y) {
        for (int x = 0; x < m.size;) {
            if (!m.Dark(x, y)) {
                ++x;
                continue;
            }
            int run = 1;
            while (x + run < m.size && m.Dark(x + run, y)) ++run;
            runs.push_back({margin + p * x, margin + p * y, p * run, p});
            x += run;
        }
    }
    if (!runs.empty()) d.layers.push_back({look.foreground, runs});
    return d;
}

// The drawing as operators both languages share in spirit: `fill` sets a colour, `rect` one box.
// The boxes are written in picture pixels under a transform that flips rows downward and scales
// the picture to `side` points.
template <class Colour, class Rect>
std::string Paint(const Drawing& d, Colour colour, Rect rect) {
    std::string out;
    for (const auto& [bgr, boxes] : d.layers) {
        out += colour(bgr);
        for (const Box& b : boxes) out += rect(b);
    }
    return out;
}

}  // namespace

std::string SymbolEps(const QRCodeSymbol& m, const GwSymbolLook& look, double side) {
    const Drawing d = Draw(m, look);
    const double scale = d.side > 0 ? side / d.side : 1.0;
    std::string eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: glyphwell\n";
    eps += "%%BoundingBox: 0 0 " + std::to_string(static_cast<long>(std::ceil(side - 1e-9))) + " " +
           std::to_string(static_cast<long>(std::ceil(side - 1e-9))) + "\n";
    eps += "%%HiResBoundingBox: 0 0 " + Number(side) + " " + Number(side) + "\n";
    eps += "%%LanguageLevel: 2\n%%Pages: 0\n%%EndComments\n";
    // A figure leaves the including document's graphics state as it found it.
    eps += "gsave\n0 " + Number(side) + " translate " + Number(scale) + " " + Number(-scale) + " scale\n";
    eps += "/R { rectfill } bind def\n";
    eps += Paint(
        d, [](uint32_t bgr) { return Rgb(bgr) + " setrgbcolor\n"; },
        [](const Box& b) {
            return std::to_string(b.x) + " " + std::to_string(b.y) + " " + std::to_string(b.w) + " " +
                   std::to_string(b.h) + " R\n";
        });
    eps += "grestore\nshowpage\n%%EOF\n";
    return eps;
}

std::string SymbolPdf(const QRCodeSymbol& m, const GwSymbolLook& look, double side) {
    const Drawing d = Draw(m, look);
    const double scale = d.side > 0 ? side / d.side : 1.0;
    std::string content = Number(scale) + " 0 0 " + Number(-scale) + " 0 " + Number(side) + " cm\n";
    bool first = true;
    content += Paint(
        d,
        [&first](uint32_t bgr) {
            std::string op = first ? "" : "f\n";  // the previous colour's boxes are filled first
            first = false;
            return op + Rgb(bgr) + " rg\n";
        },
        [](const Box& b) {
            return std::to_string(b.x) + " " + std::to_string(b.y) + " " + std::to_string(b.w) + " " +
                   std::to_string(b.h) + " re\n";
        });
    if (!first) content += "f\n";

    const std::string box = "[0 0 " + Number(side) + " " + Number(side) + "]";
    const std::string objects[] = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox " + box + " /Resources << >> /Contents 4 0 R >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
        "<< /Producer (glyphwell) >>",
    };
    // The binary comment line tells transfer programs the file is not plain text.
    std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < sizeof objects / sizeof objects[0]; ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f\r\n";
    for (size_t offset : offsets) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n\r\n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) +
           " /Root 1 0 R /Info 5 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

}  // namespace gwcli
