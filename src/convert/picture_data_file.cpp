#include "convert/picture_data_file.h"

#include "convert/rle.h"

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

std::string lineError(int line, std::string_view reason)
{
    return "line " + std::to_string(line) + ": " + std::string(reason);
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

// What follows ".db" (the directive alone gives an empty text), or nothing for
// another line.
std::optional<std::string_view> dbOperands(std::string_view line)
{
    if (line.size() < 3 || line[0] != '.' || (line[1] | 0x20) != 'd' || (line[2] | 0x20) != 'b')
        return std::nullopt;
    if (line.size() == 3)
        return std::string_view();
    if (!isBlank(line[3]))
        return std::nullopt;
    return trimmed(line.substr(4));
}

std::vector<std::string_view> splitItems(std::string_view operands)
{
    std::vector<std::string_view> items;
    while (true) {
        const std::size_t comma = operands.find(',');
        items.push_back(trimmed(operands.substr(0, comma)));
        if (comma == std::string_view::npos)
            return items;
        operands.remove_prefix(comma + 1);
    }
}

// Adds one ".db" line to the section; returns an error text or nothing.
std::optional<std::string> addDataLine(Section& section, int line, std::string_view operands)
{
    if (section.summarised)
        return lineError(line, "data after the summary line");
    if (operands.empty())
        return lineError(line, "no bytes after .db");
    const std::vector<std::string_view> items = splitItems(operands);
    const DataKind kind = items.front().starts_with('%')   ? DataKind::Plain
                          : items.front().starts_with('$') ? DataKind::Compressed
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
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::optional<std::uint8_t> value = hexByte(items[i]);
            if (!value)
                return lineError(line, "byte " + std::to_string(i + 1) +
                                           " is not a hexadecimal byte ($ and two digits)");
            section.block.push_back(*value);
        }
        return std::nullopt;
    }

    if (items.size() != bitPlaneRowBytes)
        return lineError(line, "expected 16 binary bytes, found " + std::to_string(items.size()));
    if (section.rowCount == screenHeight)
        return lineError(line, "more than 64 rows");
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::optional<std::uint8_t> value = binaryByte(items[i]);
        if (!value)
            return lineError(line, "byte " + std::to_string(i + 1) +
                                       " is not a binary byte (% and eight digits)");
        section.rows[static_cast<std::size_t>(section.rowCount) * bitPlaneRowBytes + i] = *value;
    }
    ++section.rowCount;
    return std::nullopt;
}

std::optional<std::string> addSummaryLine(Section* section, int line, std::string_view text)
{
    if (section == nullptr || section->kind != DataKind::Compressed || section->summarised)
        return lineError(line, "summary line without a compressed block above it");
    if (text != compressionSummary(section->block.size()))
        return lineError(line, "summary line does not match the block of " +
                                   std::to_string(section->block.size()) + " bytes above it");
    section->summarised = true;
    return std::nullopt;
}

// Turns a finished section into its plane, or gives the reason it cannot be one.
std::optional<std::string> finishSection(const Section& section, BitPlane& plane)
{
    switch (section.kind) {
    case DataKind::None:
        return lineError(section.labelLine, std::string(section.label) + " holds no data");
    case DataKind::Plain:
        if (section.rowCount != screenHeight)
            return sectionName(section) + ": expected 64 rows, found " +
                   std::to_string(section.rowCount);
        plane = section.rows;
        return std::nullopt;
    case DataKind::Compressed:
        if (const std::optional<BitPlane> decoded = decompressRLE(section.block)) {
            plane = *decoded;
            return std::nullopt;
        }
        return lineError(section.firstDataLine, "compressed block does not decode to 1024 bytes");
    }
    return std::string("unknown data");
}

ParseResult failure(std::string reason)
{
    return {std::nullopt, std::move(reason)};
}

} // namespace

ParseResult parsePictureDataFile(std::string_view text)
{
    std::vector<Section> sections;
    bool greyscale = false;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        Section* current = sections.empty() ? nullptr : &sections.back();
        if (line.empty())
            continue;
        if (line.starts_with(summaryStart)) {
            if (auto error = addSummaryLine(current, lineNumber, line))
                return failure(std::move(*error));
            continue;
        }
        if (line.starts_with(';'))
            continue;
        if (line == lightLayerLabel || line == darkLayerLabel) {
            const bool light = line == lightLayerLabel;
            if (!sections.empty() && !greyscale)
                return failure(lineError(lineNumber, "layer label after black-and-white data"));
            if (sections.size() != (light ? 0U : 1U))
                return failure(lineError(lineNumber, light ? "LightLayer: must come first"
                                                           : "DarkLayer: must follow LightLayer:"));
            greyscale = true;
            Section& section = sections.emplace_back();
            section.label = light ? lightLayerLabel : darkLayerLabel;
            section.labelLine = lineNumber;
            continue;
        }
        if (const std::optional<std::string_view> operands = dbOperands(line)) {
            if (current == nullptr)
                current = &sections.emplace_back();
            if (auto error = addDataLine(*current, lineNumber, *operands))
                return failure(std::move(*error));
            continue;
        }
        return failure(lineError(lineNumber, "unexpected text"));
    }

    if (sections.empty())
        return failure("no picture data");
    if (greyscale && sections.size() != 2)
        return failure("DarkLayer: missing");

    ParsedDataFile file;
    file.greyscale = greyscale;
    file.compressed = sections.front().kind == DataKind::Compressed;
    for (const Section& section : sections) {
        BitPlane plane{};
        if (auto error = finishSection(section, plane))
            return failure(std::move(*error));
        if ((section.kind == DataKind::Compressed) != file.compressed)
            return failure(
                lineError(section.firstDataLine, "layers mix plain and compressed data"));
        file.planes.push_back(plane);
    }
    return {std::move(file), {}};
}
