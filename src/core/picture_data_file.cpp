#include "core/picture_data_file.h"

#include "core/rle.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::string_view lineEnd = "\r\n";
constexpr std::string_view summaryStart = ";1024 bytes compressed to ";
constexpr int hexBytesPerLine = 12;
constexpr std::string_view hexDigits = "0123456789abcdef";

} // namespace

std::string binaryByteText(std::uint8_t value)
{
    std::string text = "%00000000";
    for (int bit = 0; bit < 8; ++bit) {
        if ((value >> (7 - bit) & 1) != 0)
            text[static_cast<std::size_t>(bit) + 1] = '1';
    }
    return text;
}

std::string hexByteText(std::uint8_t value)
{
    return {hexDigits[value >> 4], hexDigits[value & 0xF]};
}

std::string plainRowText(const BitPlane& plane, int y)
{
    std::string text = " .db ";
    text.reserve(text.size() + bitPlaneRowBytes * 10);
    const auto rowStart = static_cast<std::size_t>(y) * bitPlaneRowBytes;
    for (std::size_t c = 0; c < bitPlaneRowBytes; ++c) {
        if (c != 0)
            text += ',';
        text += binaryByteText(plane.at(rowStart + c));
    }
    return text;
}

std::string compressionSummary(std::size_t blockSize)
{
    return std::string(summaryStart) + std::to_string(blockSize) + " -- " +
           std::to_string(blockSize * 100 / bitPlaneBytes) + "% of original.";
}

void PictureDataWriter::writeLine(std::string_view line)
{
    m_text += line;
    m_text += lineEnd;
}

void PictureDataWriter::writePlainRows(const BitPlane& plane)
{
    for (int y = 0; y < screenHeight; ++y)
        writeLine(plainRowText(plane, y));
}

void PictureDataWriter::writeCompressedBlock(const BitPlane& plane)
{
    hexByteCount = 0;
    const std::vector<std::uint8_t> block = CompressRLE(plane);
    for (const std::uint8_t byte : block)
        WriteHexByte(hexByteText(byte));
    m_text += lineEnd;
    m_text += lineEnd;
    writeLine(compressionSummary(block.size()));
}

void PictureDataWriter::WriteHexByte(std::string_view text)
{
    if (hexByteCount % hexBytesPerLine == 0) {
        m_text += lineEnd;
        m_text += " .db $";
    } else {
        m_text += ",$";
    }
    if (text.size() == 1)
        m_text += '0';
    m_text += text;
    hexByteCount = static_cast<std::int16_t>(hexByteCount + 1);
}

std::string blackWhiteDataFile(const BitPlane& plane, bool compressed)
{
    PictureDataWriter writer;
    writer.writeLine(creditLine);
    if (compressed) {
        writer.writeLine(ideaLine);
        writer.writeCompressedBlock(plane);
    } else {
        writer.writeLine({});
        writer.writePlainRows(plane);
    }
    return writer.takeText();
}

std::string greyscaleDataFile(const BitPlane& light, const BitPlane& dark, bool compressed)
{
    PictureDataWriter writer;
    writer.writeLine(creditLine);
    if (compressed)
        writer.writeLine(ideaLine);
    const std::array<std::pair<std::string_view, const BitPlane*>, 2> layers{
        {{lightLayerLabel, &light}, {darkLayerLabel, &dark}}};
    for (const auto& [label, plane] : layers) {
        writer.writeLine({});
        writer.writeLine(label);
        if (compressed)
            writer.writeCompressedBlock(*plane);
        else
            writer.writePlainRows(*plane);
    }
    return writer.takeText();
}

// ---- Reading a data file back ----

namespace {

enum class DataKind { None, Plain, Compressed };

struct Section
{
    std::string_view label; // empty for a black-and-white file
    int labelLine = 0;
    int firstDataLine = 0;
    DataKind kind = DataKind::None;
    BitPlane rows{};
    int rowCount = 0;
    std::vector<std::uint8_t> block;
    bool summarised = false;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The reason names the line of the file it was found on.
Unexpected lineError(int line, std::string_view reason)
{
    return fail("line " + std::to_string(line) + ": " + std::string(reason));
}

std::string sectionName(const Section& section)
{
    return section.label.empty() ? std::string("the picture") : std::string(section.label);
}

std::optional<std::uint8_t> binaryByte(std::string_view item)
{
    if (item.size() != 9 || item[0] != '%')
        return std::nullopt;
    unsigned value = 0;
    for (const char digit : item.substr(1)) {
        if (digit != '0' && digit != '1')
            return std::nullopt;
        value = value << 1 | (digit == '1' ? 1U : 0U);
    }
    return static_cast<std::uint8_t>(value);
}

std::optional<std::uint8_t> hexByte(std::string_view item)
{
    if (item.size() < 2 || item.size() > 3 || item[0] != '$')
        return std::nullopt;
    unsigned value = 0;
    for (const char digit : item.substr(1)) {
        unsigned nibble = 0;
        if (digit >= '0' && digit <= '9')
            nibble = static_cast<unsigned>(digit - '0');
        else if (digit >= 'a' && digit <= 'f')
            nibble = static_cast<unsigned>(digit - 'a' + 10);
        else if (digit >= 'A' && digit <= 'F')
            nibble = static_cast<unsigned>(digit - 'A' + 10);
        else
            return std::nullopt;
        value = value << 4 | nibble;
    }
    return static_cast<std::uint8_t>(value);
}

// What follows ".db" (the directive alone gives an empty text) up to a
// comment, or nothing for another line.
std::optional<std::string_view> dbOperands(std::string_view line)
{
    if (line.size() < 3 || line[0] != '.' || (line[1] | 0x20) != 'd' || (line[2] | 0x20) != 'b')
        return std::nullopt;
    if (line.size() == 3)
        return std::string_view();
    if (!isBlank(line[3]) && line[3] != ';')
        return std::nullopt;
    // An assembler ends a line's code at ";", as people who edit these files know.
    return trimmed(line.substr(3, line.find(';', 3) - 3));
}

// Goes through the comma-separated items of a ".db" line one at a time, so that
// a line of any length costs no more memory than its text.
class Items
{
public:
    explicit Items(std::string_view operands) : m_rest(operands) {}

    // The next item, trimmed, or nothing after the last.
    std::optional<std::string_view> next()
    {
        if (m_done)
            return std::nullopt;
        const std::size_t comma = m_rest.find(',');
        const std::string_view item = trimmed(m_rest.substr(0, comma));
        if (comma == std::string_view::npos)
            m_done = true;
        else
            m_rest.remove_prefix(comma + 1);
        return item;
    }

    // How many items are left, counted without keeping them.
    std::size_t countRest() const
    {
        if (m_done)
            return 0;
        return std::size_t(std::count(m_rest.begin(), m_rest.end(), ',')) + 1;
    }

private:
    std::string_view m_rest;
    bool m_done = false;
};

// The longest block that can decode to 1024 bytes: every byte a run of its own
// spelt with the marker, three bytes each. Anything longer is refused as soon
// as it passes this, however long the file goes on.
constexpr std::size_t longestBlock = 3 * bitPlaneBytes;

// Adds one ".db" line to the section.
Result<void> addDataLine(Section& section, int line, std::string_view operands)
{
    if (section.summarised)
        return lineError(line, "data after the summary line");
    if (operands.empty())
        return lineError(line, "no bytes after .db");
    Items items(operands);
    const std::string_view first = *Items(operands).next();
    const DataKind kind = first.starts_with('%')   ? DataKind::Plain
                          : first.starts_with('$') ? DataKind::Compressed
                                                   : DataKind::None;
    if (kind == DataKind::None)
        return lineError(line, "expected %binary or $hexadecimal bytes");
    if (section.kind == DataKind::None) {
        section.kind = kind;
        section.firstDataLine = line;
    } else if (section.kind != kind) {
        return lineError(line, kind == DataKind::Plain ? "binary bytes inside a compressed block"
                                                       : "hexadecimal bytes among binary rows");
    }

    if (kind == DataKind::Compressed) {
        std::size_t index = 0;
        while (const std::optional<std::string_view> item = items.next()) {
            ++index;
            const std::optional<std::uint8_t> value = hexByte(*item);
            if (!value)
                return lineError(line, "byte " + std::to_string(index) +
                                           " is not a hexadecimal byte ($ and two digits)");
            if (section.block.size() == longestBlock)
                return lineError(section.firstDataLine,
                                 "compressed block does not decode to 1024 bytes");
            section.block.push_back(*value);
        }
        return {};
    }

    if (section.rowCount == screenHeight)
        return lineError(line, "more than 64 rows");
    std::array<std::uint8_t, bitPlaneRowBytes> row{};
    std::size_t index = 0;
    while (const std::optional<std::string_view> item = items.next()) {
        if (index == row.size())
            return lineError(line, "expected 16 binary bytes, found " +
                                       std::to_string(index + 1 + items.countRest()));
        const std::optional<std::uint8_t> value = binaryByte(*item);
        if (!value) {
            // A short row is told as such before the fault of one of its bytes.
            const std::size_t count = index + 1 + items.countRest();
            if (count != row.size())
                return lineError(line, "expected 16 binary bytes, found " + std::to_string(count));
            return lineError(line, "byte " + std::to_string(index + 1) +
                                       " is not a binary byte (% and eight digits)");
        }
        row[index++] = *value;
    }
    if (index != row.size())
        return lineError(line, "expected 16 binary bytes, found " + std::to_string(index));
    std::copy(row.begin(), row.end(),
              section.rows.begin() + std::ptrdiff_t(section.rowCount) * bitPlaneRowBytes);
    ++section.rowCount;
    return {};
}

Result<void> addSummaryLine(Section* section, int line, std::string_view text)
{
    if (section == nullptr || section->kind != DataKind::Compressed || section->summarised)
        return lineError(line, "summary line without a compressed block above it");
    if (text != compressionSummary(section->block.size()))
        return lineError(line, "summary line does not match the block of " +
                                   std::to_string(section->block.size()) + " bytes above it");
    section->summarised = true;
    return {};
}

// Turns a finished section into its plane, or gives the reason it cannot be one.
Result<BitPlane> finishSection(const Section& section)
{
    switch (section.kind) {
    case DataKind::None:
        return lineError(section.labelLine, std::string(section.label) + " holds no data");
    case DataKind::Plain:
        if (section.rowCount != screenHeight)
            return fail(sectionName(section) + ": expected 64 rows, found " +
                        std::to_string(section.rowCount));
        return section.rows;
    case DataKind::Compressed:
        if (const std::optional<BitPlane> decoded = decompressRLE(section.block))
            return *decoded;
        return lineError(section.firstDataLine, "compressed block does not decode to 1024 bytes");
    }
    return fail("unknown data");
}

// The next line of `text`, which it leaves after the line's end. Lines end in
// CR LF, LF, or a CR alone, as different editors save them.
std::string_view takeLine(std::string_view& text)
{
    const std::size_t end = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, end);
    if (end == std::string_view::npos) {
        text = {};
    } else {
        const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        text.remove_prefix(end + (crlf ? 2 : 1));
    }
    return line;
}

} // namespace

Result<ParsedDataFile> parsePictureDataFile(std::string_view text)
{
    // Editors on some systems begin a UTF-8 file with a byte-order mark.
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(byteOrderMark))
        text.remove_prefix(byteOrderMark.size());

    std::vector<Section> sections;
    bool greyscale = false;
    bool recognised = false; // whether any line so far was one of ours
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::string_view line = trimmed(takeLine(text));

        Section* current = sections.empty() ? nullptr : &sections.back();
        if (line.empty())
            continue;
        if (line.starts_with(summaryStart)) {
            if (Result<void> added = addSummaryLine(current, lineNumber, line); !added)
                return fail(added.error());
            continue;
        }
        if (line.starts_with(';')) {
            recognised = true;
            continue;
        }
        const std::string_view code = trimmed(line.substr(0, line.find(';')));
        if (code == lightLayerLabel || code == darkLayerLabel) {
            recognised = true;
            const bool light = code == lightLayerLabel;
            if (!sections.empty() && !greyscale)
                return lineError(lineNumber, "layer label after black-and-white data");
            if (sections.size() != (light ? 0U : 1U))
                return lineError(lineNumber, light ? "LightLayer: must come first"
                                                   : "DarkLayer: must follow LightLayer:");
            greyscale = true;
            Section& section = sections.emplace_back();
            section.label = light ? lightLayerLabel : darkLayerLabel;
            section.labelLine = lineNumber;
            continue;
        }
        if (const std::optional<std::string_view> operands = dbOperands(line)) {
            recognised = true;
            if (current == nullptr)
                current = &sections.emplace_back();
            if (Result<void> added = addDataLine(*current, lineNumber, *operands); !added)
                return fail(added.error());
            continue;
        }
        // A picture, a program or any other file given by mistake fails on its
        // first line; saying where in it is no help.
        if (!recognised)
            return fail("not a picture data file (expected .db lines of binary or "
                        "hexadecimal bytes)");
        return lineError(lineNumber, "unexpected text");
    }

    if (sections.empty())
        return fail("no picture data");
    if (greyscale && sections.size() != 2)
        return fail("DarkLayer: missing");

    ParsedDataFile file;
    file.greyscale = greyscale;
    file.compressed = sections.front().kind == DataKind::Compressed;
    for (const Section& section : sections) {
        Result<BitPlane> plane = finishSection(section);
        if (!plane)
            return fail(plane.error());
        if ((section.kind == DataKind::Compressed) != file.compressed)
            return lineError(section.firstDataLine, "layers mix plain and compressed data");
        file.planes.push_back(*plane);
    }
    return file;
}
