// The GLib headers come before Qt's, whose keyword macros they would trip on.
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include "xls_workbook.h"

#include "whole_file.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <mutex>

namespace velarion {

namespace {

// ---- Little-endian record bodies ----------------------------------------

class Body {
  public:
    Body& u8(std::uint8_t v) {
        bytes_.push_back(v);
        return *this;
    }
    Body& u16(std::uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
    Body& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Body& f64(double v) {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        return u32(static_cast<std::uint32_t>(bits)).u32(static_cast<std::uint32_t>(bits >> 32));
    }
    // The characters of a string: one byte each when all fit in Latin-1
    // (flag 0), else UTF-16LE (flag 1); the flag byte comes first.
    Body& chars(const QString& text) {
        const bool wide =
            !std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
        u8(wide ? 1 : 0);
        for (const QChar c : text) {
            wide ? u16(c.unicode()) : u8(static_cast<std::uint8_t>(c.unicode()));
        }
        return *this;
    }
    // ShortXLUnicodeString: an 8-bit count.
    Body& shortString(const QString& text) {
        return u8(static_cast<std::uint8_t>(text.size())).chars(text);
    }
    // XLUnicodeString: a 16-bit count.
    Body& string(const QString& text) {
        return u16(static_cast<std::uint16_t>(text.size())).chars(text);
    }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

// The workbook stream: records of a 16-bit type, a 16-bit length and the body.
constexpr std::size_t kRegularStreamMinimum = 4096;

class BiffStream {
  public:
    // The stream offset at which the record starts.
    std::size_t record(std::uint16_t type, const Body& body) {
        const std::size_t at = bytes_.size();
        const auto& b = body.bytes();
        put16(type);
        put16(static_cast<std::uint16_t>(b.size()));
        bytes_.insert(bytes_.end(), b.begin(), b.end());
        return at;
    }
    void patch32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    }
    std::size_t size() const { return bytes_.size(); }
    void reserve(std::size_t n) { bytes_.reserve(n); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  private:
    void put16(std::uint16_t v) {
        bytes_.push_back(v & 0xFF);
        bytes_.push_back(v >> 8);
    }
    std::vector<std::uint8_t> bytes_;
};

// ---- The records, named after the format's own names --------------------

constexpr std::uint16_t kFontHeight = 200;  // 10 pt in twips
constexpr std::uint16_t kAutomaticColour = 0x7FFF;
constexpr std::uint16_t kBlue = 12;  // palette entry 12: (0, 0, 255)
constexpr std::uint16_t kNormalWeight = 400;
constexpr std::uint16_t kBoldWeight = 700;
constexpr std::uint16_t kStyleXfCount = 15;  // XF 0 (Normal) and 1..14
constexpr std::uint16_t kDefaultCellXf = 15;
constexpr std::uint16_t kHeaderCellXf = 16;
constexpr std::uint16_t kHeaderFont = 5;  // font index 4 does not exist
// A column's width in 1/256 of the default font's widest digit, padding
// included, as Excel stores it: ColumnWidth w of n-pixel digits is
// (w * n + 5) / n * 256, cut to a whole number. For w = 35 in Arial 10
// (7-pixel digits) that is 9142, shown again as 35 (35 * 256 = 8960 would
// show as 34.29); the default 8.43 is 2340 by the same rule.
constexpr int kColumnWidthCharacters = 35;
constexpr int kDigitPixels = 7;
constexpr int kPaddingPixels = 5;
constexpr std::uint16_t kColumnWidth =
    (kColumnWidthCharacters * kDigitPixels + kPaddingPixels) * 256 / kDigitPixels;
constexpr std::size_t kNumberRecordSize = 4 + 14;

enum class Substream : std::uint16_t { Globals = 0x0005, Worksheet = 0x0010 };

void BOF(BiffStream& s, Substream kind) {
    s.record(0x0809, Body()
                         .u16(0x0600)  // BIFF8
                         .u16(static_cast<std::uint16_t>(kind))
                         .u16(0x0DBB)  // build
                         .u16(0x07CC)  // year
                         .u32(0)       // file history flags
                         .u32(0x06));  // lowest version able to read it
}

void CODEPAGE(BiffStream& s) {
    s.record(0x0042, Body().u16(1200));  // UTF-16
}

void WINDOW1(BiffStream& s) {
    s.record(0x003D, Body()
                         .u16(0)
                         .u16(0)
                         .u16(0x4000)  // window width and height, twips
                         .u16(0x2000)
                         .u16(0x0038)  // scroll bars and sheet tabs shown
                         .u16(0)       // active sheet
                         .u16(0)       // first visible tab
                         .u16(1)       // selected sheets
                         .u16(600));   // tab bar width ratio, per mille
}

void FONT(BiffStream& s, std::uint16_t weight, std::uint16_t colour) {
    s.record(0x0031, Body()
                         .u16(kFontHeight)
                         // Not italic, struck, outlined or shadowed. Bit 0 repeats
                         // the bold weight, as older readers take it from there.
                         .u16(weight == kBoldWeight ? 0x0001 : 0x0000)
                         .u16(colour)
                         .u16(weight)
                         .u16(0)  // neither superscript nor subscript
                         .u8(0)   // no underline
                         .u8(2)   // swiss family
                         .u8(0)   // ANSI character set
                         .u8(0)
                         .shortString(QStringLiteral("Arial")));
}

struct XfSpec {
    std::uint16_t font;
    bool style;
    std::uint8_t usedAttributes;
};

void XF(BiffStream& s, const XfSpec& xf) {
    // Locked; a style XF has no parent (0xFFF), a cell XF has Normal (0).
    const std::uint16_t protection = xf.style ? 0xFFF5 : 0x0001;
    s.record(0x00E0, Body()
                         .u16(xf.font)
                         .u16(0)  // number format General
                         .u16(protection)
                         .u8(0x20)  // general alignment, bottom
                         .u8(0)     // no rotation
                         .u8(0)     // no indent
                         .u8(xf.usedAttributes)
                         .u32(0)  // no borders
                         .u32(0)
                         .u16(0x20C0));  // no pattern, automatic colours
}

void STYLE(BiffStream& s) {
    // The built-in style Normal on XF 0.
    s.record(0x0293, Body().u16(0x8000).u8(0).u8(0xFF));
}

// Returns where the sheet's stream offset is to be patched in.
std::size_t BOUNDSHEET(BiffStream& s) {
    const std::size_t at =
        s.record(0x0085, Body().u32(0).u8(0).u8(0).shortString(QStringLiteral("Sheet1")));
    return at + 4;
}

// The shared strings; returns the offset of the record.
std::size_t SST(BiffStream& s, const QString& first, const QString& second) {
    return s.record(0x00FC, Body().u32(2).u32(2).string(first).string(second));
}

// One bucket covers both strings; it points at the first one.
void EXTSST(BiffStream& s, std::size_t sstAt) {
    constexpr std::uint16_t kFirstStringInRecord = 4 + 8;
    s.record(0x00FF, Body()
                         .u16(8)
                         .u32(static_cast<std::uint32_t>(sstAt + kFirstStringInRecord))
                         .u16(kFirstStringInRecord)
                         .u16(0));
}

// EOF is taken by <cstdio>.
void EOF_(BiffStream& s) {
    s.record(0x000A, Body());
}

void COLINFO(BiffStream& s, std::uint16_t first, std::uint16_t last, std::uint16_t width) {
    s.record(0x007D, Body()
                         .u16(first)
                         .u16(last)
                         .u16(width)
                         .u16(kDefaultCellXf)
                         .u16(0x0002)  // width set by the user
                         .u16(0));
}

void DIMENSIONS(BiffStream& s, std::uint32_t rows, std::uint16_t columns) {
    s.record(0x0200, Body().u32(0).u32(rows).u16(0).u16(columns).u16(0));
}

void LABELSST(BiffStream& s, std::uint16_t row, std::uint16_t column, std::uint16_t xf,
              std::uint32_t string) {
    s.record(0x00FD, Body().u16(row).u16(column).u16(xf).u32(string));
}

void NUMBER(BiffStream& s, std::uint16_t row, std::uint16_t column, double value) {
    s.record(0x0203, Body().u16(row).u16(column).u16(kDefaultCellXf).f64(value));
}

void WINDOW2(BiffStream& s) {
    s.record(0x023E, Body()
                         .u16(0x06B6)  // grid, headers, zeros, outline; selected, paged
                         .u16(0)       // top row
                         .u16(0)       // left column
                         .u16(0x40)    // default grid colour
                         .u16(0)
                         .u16(0)  // zoom: default
                         .u16(0)
                         .u32(0));
}

// ---- The workbook -------------------------------------------------------

constexpr qsizetype kMaxHeaderLength = 255;  // keeps the SST in one record
constexpr std::size_t kMaxDataRows = 65535;  // below the header row

void checkFits(const XlsColumns& c) {
    if (c.a.size() != c.b.size()) {
        throw XlsError("the two columns differ in length");
    }
    if (c.a.size() > kMaxDataRows) {
        throw XlsError("more rows than a worksheet holds (65536)");
    }
    if (c.headerA.size() > kMaxHeaderLength || c.headerB.size() > kMaxHeaderLength) {
        throw XlsError("a header text is longer than 255 characters");
    }
}

// Returns where the worksheet's offset goes.
std::size_t writeGlobals(BiffStream& s, const XlsColumns& c) {
    BOF(s, Substream::Globals);
    CODEPAGE(s);
    WINDOW1(s);
    for (int i = 0; i < 4; ++i) {
        FONT(s, kNormalWeight, kAutomaticColour);
    }
    FONT(s, kBoldWeight, kBlue);
    XF(s, {0, true, 0x00});
    for (int i = 1; i < kStyleXfCount; ++i) {
        XF(s, {0, true, 0xF4});
    }
    XF(s, {0, false, 0x00});
    XF(s, {kHeaderFont, false, 0x08});  // its font differs from the style's
    STYLE(s);
    const std::size_t sheetOffsetAt = BOUNDSHEET(s);
    EXTSST(s, SST(s, c.headerA, c.headerB));
    EOF_(s);
    return sheetOffsetAt;
}

void writeSheet(BiffStream& s, const XlsColumns& c) {
    BOF(s, Substream::Worksheet);
    COLINFO(s, 0, 1, kColumnWidth);
    DIMENSIONS(s, static_cast<std::uint32_t>(c.a.size() + 1), 2);
    LABELSST(s, 0, 0, kHeaderCellXf, 0);
    LABELSST(s, 0, 1, kHeaderCellXf, 1);
    for (std::size_t i = 0; i < c.a.size(); ++i) {
        const auto row = static_cast<std::uint16_t>(i + 1);
        NUMBER(s, row, 0, c.a[i]);
        NUMBER(s, row, 1, c.b[i]);
    }
    WINDOW2(s);
    EOF_(s);
}

std::vector<std::uint8_t> workbookStream(const XlsColumns& c) {
    checkFits(c);
    BiffStream s;
    s.reserve(1024 + 2 * c.a.size() * kNumberRecordSize);
    const std::size_t sheetOffsetAt = writeGlobals(s, c);
    s.patch32(sheetOffsetAt, static_cast<std::uint32_t>(s.size()));
    writeSheet(s, c);
    // A stream under 4096 bytes would be kept in the compound file's mini
    // stream; zeros after the last EOF record keep the workbook a regular
    // stream, as spreadsheet applications write it themselves.
    std::vector<std::uint8_t> bytes = s.bytes();
    if (bytes.size() < kRegularStreamMinimum) {
        bytes.resize(kRegularStreamMinimum, 0);
    }
    return bytes;
}

// ---- The compound file --------------------------------------------------

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T>
using GsfPtr = std::unique_ptr<T, Unref>;

QByteArray compoundFile(const std::vector<std::uint8_t>& workbook) {
    static std::once_flag initialised;
    std::call_once(initialised, gsf_init);
    GsfPtr<GsfOutput> memory(gsf_output_memory_new());
    GsfPtr<GsfOutfile> ole(gsf_outfile_msole_new(memory.get()));
    GsfPtr<GsfOutput> stream(gsf_outfile_new_child(ole.get(), "Workbook", FALSE));
    bool written = stream && gsf_output_write(stream.get(), workbook.size(), workbook.data());
    written = gsf_output_close(stream.get()) && written;
    written = gsf_output_close(GSF_OUTPUT(ole.get())) && written;
    if (!written) {
        throw XlsError("the compound file could not be assembled");
    }
    const auto* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes),
                      static_cast<qsizetype>(gsf_output_size(memory.get())));
}

}  // namespace

QByteArray xlsWorkbook(const XlsColumns& columns) {
    return compoundFile(workbookStream(columns));
}

QString saveXlsWorkbook(const QString& path, const XlsColumns& columns) {
    QByteArray bytes;
    try {
        bytes = xlsWorkbook(columns);
    } catch (const XlsError& e) {
        return QString::fromUtf8(e.what());
    }
    QString reason;
    if (!writeWholeFile(path, bytes, reason)) {
        return QStringLiteral("%1: %2").arg(path, reason);
    }
    return {};
}

}  // namespace velarion
