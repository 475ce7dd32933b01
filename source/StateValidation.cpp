// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "StateValidation.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#if defined(__APPLE__)
#include <xlocale.h>
#endif

namespace hesko::state
{
namespace
{
constexpr std::uint32_t magicXmlNumber = 0x21324356; // "VC2!" little-endian

std::uint32_t littleEndian32(const unsigned char* bytes) noexcept
{
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF). JUCE's XML reader trusts
// its text to be valid and reads past the end of a string that ends inside a multi-byte sequence, so
// a damaged state must be refused before it gets there.
bool isValidUtf8(const unsigned char* text, std::size_t length) noexcept
{
    std::size_t i = 0;
    while (i < length)
    {
        const unsigned char lead = text[i];
        std::size_t extra = 0;
        std::uint32_t code = 0;
        if (lead < 0x80)
        {
            ++i;
            continue;
        }
        if (lead >= 0xc2 && lead <= 0xdf)
            extra = 1, code = lead & 0x1fu;
        else if (lead >= 0xe0 && lead <= 0xef)
            extra = 2, code = lead & 0x0fu;
        else if (lead >= 0xf0 && lead <= 0xf4)
            extra = 3, code = lead & 0x07u;
        else
            return false;
        if (length - i <= extra)
            return false;
        for (std::size_t k = 1; k <= extra; ++k)
        {
            if ((text[i + k] & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (text[i + k] & 0x3fu);
        }
        const bool overlong = (extra == 2 && code < 0x800) || (extra == 3 && code < 0x10000);
        if (overlong || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff)
            return false;
        i += extra + 1;
    }
    return true;
}

// JUCE's XML reader loops for ever on a processing instruction followed by text inside an element
// ("<a><?x?>b</a>"). The framework writes one instruction only, the declaration at the very start,
// so any other "<?" marks a state that is not ours.
bool hasNoInstructionBeyondTheDeclaration(const std::string& text)
{
    std::size_t from = 0;
    if (text.rfind("<?xml", 0) == 0)
    {
        const auto close = text.find("?>");
        if (close == std::string::npos)
            return false;
        from = close + 2;
    }
    return text.find("<?", from) == std::string::npos;
}

// JUCE's XML reader steps one character past a malformed hexadecimal character reference, which at
// the end of the text is past the end of the buffer ("<a>&#x" then the end), and parses an unknown
// entity that starts with "<" as XML out of a string it then reads past ("&<a>...;"). The framework
// writes only the five predefined entities and well-formed character references ("&#x1F;", "&#10;"),
// so any other "&" marks a state that is not ours.
bool hasOnlyWellFormedReferences(const std::string& text)
{
    const auto isDecimal = [](char c) { return c >= '0' && c <= '9'; };
    const auto isHex = [&](char c)
    { return isDecimal(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
    for (auto at = text.find('&'); at != std::string::npos; at = text.find('&', at + 1))
    {
        bool named = false;
        for (const char* entity : {"&amp;", "&quot;", "&apos;", "&lt;", "&gt;"})
            named = named || text.compare(at, std::strlen(entity), entity) == 0;
        if (named)
            continue;
        if (text.compare(at, 2, "&#") != 0)
            return false;
        auto i = at + 2;
        const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
        i += hex ? 1 : 0;
        const auto digitsFrom = i;
        while (i < text.size() && (hex ? isHex(text[i]) : isDecimal(text[i])))
            ++i;
        const auto digits = i - digitsFrom;
        if (digits == 0 || digits > (hex ? 8u : 12u) || i >= text.size() || text[i] != ';')
            return false;
    }
    return true;
}

// The XML text of the framework's wrapper, or nothing.
std::optional<juce::String> unwrap(const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes < 9)
        return std::nullopt;
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (littleEndian32(bytes) != magicXmlNumber)
        return std::nullopt;
    const auto length = static_cast<std::int32_t>(littleEndian32(bytes + 4));
    if (length <= 0)
        return std::nullopt;
    // A length beyond the data is cut to what is there; the text ends at the first zero byte.
    const auto available =
        std::min<std::size_t>(static_cast<std::size_t>(length), static_cast<std::size_t>(sizeInBytes - 8));
    const auto* text = reinterpret_cast<const char*>(bytes + 8);
    const auto* zero = static_cast<const char*>(std::memchr(text, 0, available));
    const auto used = zero != nullptr ? static_cast<std::size_t>(zero - text) : available;
    if (!isValidUtf8(reinterpret_cast<const unsigned char*>(text), used))
        return std::nullopt; // not a well-formed document, and unsafe to hand to the XML reader
    const std::string document(text, used);
    if (!hasNoInstructionBeyondTheDeclaration(document) || !hasOnlyWellFormedReferences(document))
        return std::nullopt;
    return juce::String::fromUTF8(text, static_cast<int>(used));
}

// A plain non-negative decimal integer of at most 2147483647, surrounding white space allowed.
std::optional<std::int64_t> plainVersion(const juce::var& property)
{
    if (!(property.isString() || property.isInt() || property.isInt64()))
        return std::nullopt;
    const auto text = property.toString().trim();
    if (text.isEmpty() || !text.containsOnly("0123456789"))
        return std::nullopt;
    std::int64_t value = 0;
    for (auto c : text)
    {
        value = value * 10 + (c - '0');
        if (value > 2147483647)
            return std::nullopt;
    }
    return value;
}

// strtod in the "C" locale: the framework always writes a decimal point, whatever locale the host
// has set for the process.
double parseCDouble(const char* text, char** end) noexcept
{
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    return cLocale != static_cast<locale_t>(nullptr) ? strtod_l(text, end, cLocale) : std::strtod(text, end);
}

// The whole text must be one finite number within double range.
std::optional<double> plainValue(const juce::var& property)
{
    const auto text = property.toString().trim();
    if (text.isEmpty())
        return std::nullopt;
    const auto utf8 = text.toStdString();
    char* end = nullptr;
    errno = 0;
    const double value = parseCDouble(utf8.c_str(), &end);
    if (end != utf8.c_str() + utf8.size() || errno == ERANGE || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool hasValidParameter(const juce::ValueTree& tree, const ParameterRange& parameter)
{
    static const juce::Identifier idKey("id"), valueKey("value"), paramType("PARAM");
    int matches = 0;
    for (const auto& child : tree)
    {
        if (!child.hasProperty(idKey) || child.getProperty(idKey).toString() != parameter.id)
            continue; // other entries are kept as they are
        ++matches;
        if (child.getType() != paramType || !child.hasProperty(valueKey))
            return false;
        const auto value = plainValue(child.getProperty(valueKey));
        if (!value || *value < parameter.start || *value > parameter.end)
            return false;
    }
    return matches == 1;
}
} // namespace

std::optional<juce::ValueTree> parseState(const void* data, int sizeInBytes,
                                          const std::vector<ParameterRange>& parameters)
{
    const auto text = unwrap(data, sizeInBytes);
    if (!text)
        return std::nullopt;
    const auto xml = juce::parseXML(*text);
    if (xml == nullptr || !xml->getTagName().equalsIgnoreCase(rootType))
        return std::nullopt;

    auto tree = juce::ValueTree::fromXml(*xml);
    if (!tree.isValid())
        return std::nullopt;

    static const juce::Identifier versionKey("stateVersion");
    std::int64_t version = 0;
    if (tree.hasProperty(versionKey))
    {
        const auto stated = plainVersion(tree.getProperty(versionKey));
        if (!stated)
            return std::nullopt;
        version = *stated;
    }
    if (version != 0 && version != currentStateVersion)
        return std::nullopt;

    for (const auto& parameter : parameters)
        if (!hasValidParameter(tree, parameter))
            return std::nullopt;

    if (version == 0)
        tree.setProperty(versionKey, currentStateVersion, nullptr);
    return tree;
}

} // namespace hesko::state
