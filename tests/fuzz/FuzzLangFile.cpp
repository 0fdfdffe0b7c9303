// libFuzzer target for the lang.xml reader and writer: every input is written
// as lang.xml into a private temporary folder, read, switched to the other
// language and read again. Aborts when
//  - a file that does not read is changed by a write (it must stay byte for
//    byte), or
//  - a file that reads is changed into one that does not read back the code
//    just written (a write that would be refused leaves it byte for byte), or
//  - a temporary copy is left behind.

#include "base/LocaleText.h"
#include "i18n/LanguagePreference.h"

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

fs::path g_folder;
std::u16string g_dir;

void Put(std::string_view bytes)
{
    std::ofstream out(g_folder / "lang.xml", std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.good())
        std::abort();
}

std::string Get()
{
    std::ifstream in(g_folder / "lang.xml", std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool OnlyLangFileLeft()
{
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(g_folder))
        entries += entry.path().filename() == "lang.xml" ? 1 : 100;
    return entries == 1;
}

void RemoveFolder()
{
    std::error_code ec;
    fs::remove_all(g_folder, ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::setlocale(LC_ALL, "C.UTF-8");
    std::string pattern = (fs::temp_directory_path() / "vindrel-fuzz-lang-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    g_folder = pattern;
    g_dir = FromUtf8(pattern + "/");
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string before(reinterpret_cast<const char*>(data), size);
    Put(before);

    std::u16string code;
    const bool readable = ReadLanguagePreference(g_dir, code);
    const std::u16string next = code == u"en" ? u"zh_cn" : u"en";
    WriteLanguagePreference(g_dir, next);

    if (!OnlyLangFileLeft())
        std::abort();
    if (!readable) {
        if (Get() != before)
            std::abort();
        return 0;
    }
    const std::string after = Get();
    if (after == before)
        return 0;
    std::u16string again;
    if (!ReadLanguagePreference(g_dir, again) || again != next)
        std::abort();
    return 0;
}
