// Fuzz target for the settings file's reading rules (libFuzzer). Built by tools/fuzz.
//
// Checks, for any bytes:
// - the four values match an independent model of a text-mode read: the file is first turned
//   into text (Ctrl-Z ends it, CR LF becomes LF), then four lines are taken, one LF removed from
//   each;
// - no value holds an LF or a Ctrl-Z, so formatting the values and reading them back gives the
//   same values, and formatting is stable from then on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/settings_file.h"

namespace {

std::string TextModeRead(const std::string& bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\x1A'; ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        text += bytes[i];
    }
    return text;
}

std::string ReadStringModel(const std::string& text, std::size_t& pos) {
    std::string line;
    while (pos < text.size()) {
        char c = text[pos++];
        if (c == '\n') break;
        line += c;
    }
    return line;
}

hhx::SettingsValues Model(const std::string& bytes) {
    const std::string text = TextModeRead(bytes);
    std::size_t pos = 0;
    hhx::SettingsValues v;
    v.sourceDirText = ReadStringModel(text, pos);
    v.qaListFile = ReadStringModel(text, pos);
    v.promptListFile = ReadStringModel(text, pos);
    v.soundDir = ReadStringModel(text, pos);
    return v;
}

bool HoldsLineEndOrEof(const std::string& value) {
    return value.find('\n') != std::string::npos || value.find('\x1A') != std::string::npos;
}

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const hhx::SettingsValues values = hhx::ParseSettings(bytes);
    Check(values == Model(bytes));
    for (const std::string* v :
         {&values.sourceDirText, &values.qaListFile, &values.promptListFile, &values.soundDir})
        Check(!HoldsLineEndOrEof(*v));

    const std::string formatted = hhx::FormatSettings(values);
    Check(hhx::ParseSettings(formatted) == values);
    Check(hhx::FormatSettings(hhx::ParseSettings(formatted)) == formatted);
    return 0;
}
