// Font resolution and rasterisation for GDI text. The Windows UI face names
// ("MS Shell Dlg", "Tahoma", "Arial", ...) become Liberation Sans, whose
// metrics match Arial's; the Courier and Times names become Liberation Mono
// and Serif; any other name goes through fontconfig's match. Bold and italic
// are synthesised when the chosen file has neither. Left out: bitmap fonts,
// kerning, font linking (a character the chosen font lacks shows its
// missing-glyph box), character sets other than Windows-1252.
//
// Metrics follow the TrueType rules GDI uses: the cell is the OS/2 table's
// usWinAscent + usWinDescent scaled to the size, each rounded up for an em
// height, so Liberation Sans at an 11-pixel em has ascent 10 and descent 3:
// the 13-pixel cell the dialog base units depend on. Advances are whole
// pixels, with no kerning, as in TextOut.
//
// Glyphs are hinted with FreeType's light auto-hinter (vertical snapping
// only): at 11 pixels it keeps horizontal strokes and the baseline crisp
// without distorting letter widths, and the advances stay the font's own
// rounded widths, so text measures as it would unhinted. Liberation's stems
// are a little under a pixel wide at that size, so the coverage is given a
// mild contrast stretch: near-full stems become solid and the faintest
// fringe disappears, which reads closer to Windows' grey-scale text.
#include "gdi/font_engine.h"

#include "core/text_encoding.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/stat.h>
#include <tuple>

namespace win32::gdi {

namespace {

// An lfHeight of 0 asks for "a default height": the dialog font's.
constexpr int defaultEmPixels = 11;
// Sizes beyond this are clamped, so a wild LOGFONT cannot rasterise
// glyphs of gigabytes.
constexpr int largestEmPixels = 1024;
constexpr FT_Int32 loadFlags = FT_LOAD_FORCE_AUTOHINT | FT_LOAD_TARGET_LIGHT;

// coverage * 1.3 - 8%, clamped: the contrast stretch described above.
constexpr std::array<uint8_t, 256> coverageCurve = [] {
    std::array<uint8_t, 256> curve{};
    for (int i = 0; i < 256; ++i) {
        int stretched = (i * 130 - 2040 + 50) / 100;
        curve[static_cast<size_t>(i)] = static_cast<uint8_t>(std::clamp(stretched, 0, 255));
    }
    return curve;
}();

constexpr BYTE familySwiss = 0x20;
constexpr BYTE familyRoman = 0x10;
constexpr BYTE familyModern = 0x30;
constexpr BYTE fixedPitchBit = 0x01;

const char* const liberationFolders[] = {
    "/usr/share/fonts/truetype/liberation2/",
    "/usr/share/fonts/truetype/liberation/",
};

struct FaceChoice {
    std::string file;
    int index = 0;
    bool embolden = false;
    bool oblique = false;
};

std::string lowerCase(const char* text)
{
    std::string out;
    for (; *text; ++text)
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(*text)));
    return out;
}

// The Liberation family standing in for a Windows face name, or "" when the
// name is not one of those.
std::string liberationFamilyFor(const std::string& face, BYTE pitchAndFamily)
{
    static const std::map<std::string, std::string> substitutes = {
        {"ms shell dlg", "Sans"},   {"ms shell dlg 2", "Sans"}, {"ms sans serif", "Sans"},
        {"microsoft sans serif", "Sans"}, {"tahoma", "Sans"}, {"segoe ui", "Sans"},
        {"arial", "Sans"},          {"system", "Sans"},
        {"courier new", "Mono"},    {"courier", "Mono"},        {"fixedsys", "Mono"},
        {"terminal", "Mono"},       {"lucida console", "Mono"}, {"consolas", "Mono"},
        {"times new roman", "Serif"}, {"times", "Serif"},
    };
    if (face.empty()) {
        // No face name: the family bits choose, as the font mapper does.
        BYTE family = pitchAndFamily & 0xF0;
        if (family == familyModern || (pitchAndFamily & 0x03) == fixedPitchBit)
            return "Mono";
        return family == familyRoman ? "Serif" : "Sans";
    }
    auto it = substitutes.find(face);
    return it == substitutes.end() ? std::string() : it->second;
}

bool fileExists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<FaceChoice> liberationFile(const std::string& family, bool bold, bool italic)
{
    std::string style = bold ? (italic ? "BoldItalic" : "Bold") : (italic ? "Italic" : "Regular");
    for (const char* folder : liberationFolders) {
        std::string path = std::string(folder) + "Liberation" + family + "-" + style + ".ttf";
        if (fileExists(path))
            return FaceChoice{path, 0, false, false};
    }
    return std::nullopt;
}

std::optional<FaceChoice> fontconfigMatch(const std::string& family, bool bold, bool italic)
{
    // Torn down at exit so that leak checkers see fontconfig's own
    // configuration freed.
    static bool ready = [] {
        bool initialised = FcInit() == FcTrue;
        if (initialised)
            std::atexit(FcFini);
        return initialised;
    }();
    if (!ready)
        return std::nullopt;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return std::nullopt;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return std::nullopt;
    std::optional<FaceChoice> choice;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        choice = FaceChoice{reinterpret_cast<const char*>(file), 0, false, false};
        int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch)
            choice->index = index;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        choice->embolden = bold && weight < FC_WEIGHT_DEMIBOLD;
        choice->oblique = italic && slant == FC_SLANT_ROMAN;
    }
    FcPatternDestroy(match);
    return choice;
}

std::optional<FaceChoice> chooseFace(const LOGFONTA& font)
{
    char name[LF_FACESIZE + 1] = {};
    std::memcpy(name, font.lfFaceName, LF_FACESIZE);
    std::string face = lowerCase(name);
    bool bold = font.lfWeight >= 600; // FW_SEMIBOLD and heavier
    bool italic = font.lfItalic != 0;

    using Key = std::tuple<std::string, bool, bool, BYTE>;
    static std::map<Key, std::optional<FaceChoice>> chosen;
    Key key{face, bold, italic, font.lfPitchAndFamily};
    if (auto it = chosen.find(key); it != chosen.end())
        return it->second;

    std::optional<FaceChoice> choice;
    std::string liberation = liberationFamilyFor(face, font.lfPitchAndFamily);
    if (!liberation.empty()) {
        choice = liberationFile(liberation, bold, italic);
        if (!choice)
            choice = fontconfigMatch("Liberation " + liberation, bold, italic);
    } else {
        choice = fontconfigMatch(name, bold, italic);
    }
    if (!choice) // fontconfig is unusable: still draw something readable
        choice = liberationFile("Sans", bold, italic);
    chosen.emplace(key, choice);
    return choice;
}

FT_Library freetype()
{
    static FT_Library library = [] {
        FT_Library created = nullptr;
        if (FT_Init_FreeType(&created) != 0)
            created = nullptr;
        return created;
    }();
    return library;
}

int ceilPixels(double value) { return static_cast<int>(std::ceil(value - 1e-6)); }
int roundPixels(double value) { return static_cast<int>(std::lround(value)); }

class FreeTypeInstance final : public FontInstance {
public:
    FreeTypeInstance(FT_Face face, const FaceChoice& choice, const LOGFONTA& font)
        : face_(face), embolden_(choice.embolden), oblique_(choice.oblique)
    {
        computeMetrics(font);
    }
    ~FreeTypeInstance() override
    {
        if (face_)
            FT_Done_Face(face_);
    }
    FreeTypeInstance(const FreeTypeInstance&) = delete;
    FreeTypeInstance& operator=(const FreeTypeInstance&) = delete;

    const FontMetrics& metrics() const override { return metrics_; }

    const Glyph& glyph(unsigned char character) override
    {
        std::optional<Glyph>& slot = glyphs_[character];
        if (!slot)
            slot = render(character);
        return *slot;
    }

private:
    void computeMetrics(const LOGFONTA& font)
    {
        double unitsPerEm = face_->units_per_EM ? face_->units_per_EM : 2048;
        const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        const TT_HoriHeader* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face_, FT_SFNT_HHEA));
        double ascender = face_->ascender, descender = -face_->descender, lineGap = 0;
        if (hhea) {
            ascender = hhea->Ascender;
            descender = -hhea->Descender;
            lineGap = hhea->Line_Gap;
        }
        double winAscent = ascender, winDescent = descender;
        if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
            winAscent = os2->usWinAscent;
            winDescent = os2->usWinDescent;
        }
        double cellUnits = std::max(1.0, winAscent + winDescent);

        // lfHeight < 0 asks for the em height, > 0 for the cell height.
        double em = 0;
        int height = font.lfHeight;
        if (height > largestEmPixels || height < -largestEmPixels)
            height = height < 0 ? -largestEmPixels : largestEmPixels;
        if (height > 0) {
            em = height * unitsPerEm / cellUnits;
            metrics_.ascent = roundPixels(height * winAscent / cellUnits);
            metrics_.descent = height - metrics_.ascent;
        } else {
            em = height < 0 ? -height : defaultEmPixels;
            metrics_.ascent = ceilPixels(winAscent * em / unitsPerEm);
            metrics_.descent = ceilPixels(winDescent * em / unitsPerEm);
        }
        double scale = em / unitsPerEm;

        double averageUnits = os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : unitsPerEm / 2;
        double emWide = em;
        // lfWidth asks for an average character width: stretch to match.
        if (font.lfWidth != 0) {
            double natural = averageUnits * scale;
            emWide = em * std::abs(font.lfWidth) / std::max(1.0, natural);
            emWide = std::clamp(emWide, 1.0, static_cast<double>(largestEmPixels));
        }
        double scaleX = emWide / unitsPerEm;
        FT_Set_Char_Size(face_, static_cast<FT_F26Dot6>(std::lround(emWide * 64)), static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72);

        metrics_.internalLeading = std::max(0, metrics_.ascent + metrics_.descent - roundPixels(em));
        // What the hhea line gap adds beyond the cell.
        double extra = lineGap - (cellUnits - (ascender + descender));
        metrics_.externalLeading = std::max(0, roundPixels(extra * scale));
        metrics_.averageWidth = std::max(1, roundPixels(averageUnits * scaleX));
        metrics_.maximumWidth = std::max(metrics_.averageWidth, ceilPixels(face_->max_advance_width * scaleX));
        metrics_.underlinePosition = std::max(1, roundPixels(-face_->underline_position * scale));
        metrics_.underlineThickness = std::max(1, roundPixels(face_->underline_thickness * scale));
        if (os2 && os2->version != 0xFFFF) {
            metrics_.strikeoutPosition = std::max(1, roundPixels(os2->yStrikeoutPosition * scale));
            metrics_.strikeoutThickness = std::max(1, roundPixels(os2->yStrikeoutSize * scale));
        } else {
            metrics_.strikeoutPosition = std::max(1, metrics_.ascent / 3);
        }
        metrics_.fixedPitch = FT_IS_FIXED_WIDTH(face_);
        metrics_.family = metrics_.fixedPitch ? familyModern : familySwiss;
        if (embolden_)
            metrics_.maximumWidth += 1;
    }

    Glyph render(unsigned char character)
    {
        Glyph out;
        FT_UInt index = FT_Get_Char_Index(face_, core::unicodeFromAnsiChar(character));
        if (FT_Load_Glyph(face_, index, loadFlags) != 0) {
            out.advance = metrics_.averageWidth;
            return out;
        }
        FT_GlyphSlot slot = face_->glyph;
        if (oblique_)
            FT_GlyphSlot_Oblique(slot);
        if (embolden_)
            FT_GlyphSlot_Embolden(slot);
        out.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_LIGHT) != 0 || slot->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
            return out;
        const FT_Bitmap& bitmap = slot->bitmap;
        out.left = slot->bitmap_left;
        out.top = slot->bitmap_top;
        out.width = static_cast<int>(bitmap.width);
        out.rows = static_cast<int>(bitmap.rows);
        out.coverage.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.rows));
        for (int y = 0; y < out.rows; ++y) {
            const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
            uint8_t* to = out.coverage.data() + static_cast<ptrdiff_t>(y) * out.width;
            for (int x = 0; x < out.width; ++x)
                to[x] = coverageCurve[row[x]];
        }
        return out;
    }

    FT_Face face_ = nullptr;
    bool embolden_ = false;
    bool oblique_ = false;
    FontMetrics metrics_;
    std::array<std::optional<Glyph>, 256> glyphs_;
};

// Without a usable font file text still takes room, so layout works.
class MissingFontInstance final : public FontInstance {
public:
    explicit MissingFontInstance(const LOGFONTA& font)
    {
        int em = font.lfHeight < 0 ? -font.lfHeight : font.lfHeight > 0 ? font.lfHeight * 4 / 5 : defaultEmPixels;
        em = std::clamp(em, 1, largestEmPixels);
        metrics_.ascent = ceilPixels(em * 0.905);
        metrics_.descent = ceilPixels(em * 0.212);
        metrics_.averageWidth = std::max(1, roundPixels(em * 0.55));
        metrics_.maximumWidth = em;
        blank_.advance = metrics_.averageWidth;
    }
    const FontMetrics& metrics() const override { return metrics_; }
    const Glyph& glyph(unsigned char) override { return blank_; }

private:
    FontMetrics metrics_;
    Glyph blank_;
};

// Instances the program's fonts no longer use are kept up to this many, so
// a font made and deleted per paint keeps its rendered glyphs.
constexpr size_t keptInstances = 32;

} // namespace

std::shared_ptr<FontInstance> fontInstanceFor(const LOGFONTA& font)
{
    std::optional<FaceChoice> choice = chooseFace(font);
    if (!choice || !freetype())
        return std::make_shared<MissingFontInstance>(font);

    using Key = std::tuple<std::string, int, LONG, LONG, bool, bool>;
    static std::map<Key, std::shared_ptr<FontInstance>> instances;
    Key key{choice->file, choice->index, font.lfHeight, font.lfWidth, choice->embolden, choice->oblique};
    if (auto it = instances.find(key); it != instances.end())
        return it->second;
    FT_Face face = nullptr;
    if (FT_New_Face(freetype(), choice->file.c_str(), choice->index, &face) != 0 || !face)
        return std::make_shared<MissingFontInstance>(font);
    auto instance = std::make_shared<FreeTypeInstance>(face, *choice, font);
    if (instances.size() >= keptInstances) {
        for (auto it = instances.begin(); it != instances.end();)
            it = it->second.use_count() == 1 ? instances.erase(it) : std::next(it);
    }
    instances[key] = instance;
    return instance;
}

} // namespace win32::gdi
