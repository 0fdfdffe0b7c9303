#include "i18n/LanguagePreference.h"

#include "base/AppFolders.h"
#include "base/LocaleText.h"
#include "i18n/TextCatalogue.h"

#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <tinyxml2.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view kFileName = u"lang.xml";

// The 8-bit path of dir + "lang.xml"; nothing when the locale cannot express
// it, or when it holds a NUL that would make the C library open another file.
std::optional<std::string> PreferencePath(std::u16string_view dir)
{
    std::u16string wide(dir);
    wide += kFileName;
    std::optional<std::string> path = EncodeLocal8Bit(wide);
    if (!path || path->find('\0') != std::string::npos)
        return std::nullopt;
    return path;
}

// Follows symlinks: a dangling link, a directory or a device named lang.xml
// counts as no file at all.
bool StatRegularFile(const std::string& path, struct stat& st)
{
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The element belongs to `doc`; null when the file does not load or has no
// <lang> child of its root.
tinyxml2::XMLElement* LoadLangElement(tinyxml2::XMLDocument& doc, const std::string& path)
{
    if (doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS)
        return nullptr;
    tinyxml2::XMLElement* root = doc.RootElement();
    return root ? root->FirstChildElement("lang") : nullptr;
}

// The parser accepts some broken files that it then prints as text it cannot
// parse again (stray text and an end tag after the root). Only a document
// that reads back with the new code is saved, so that a write never turns a
// readable lang.xml into an unreadable one.
bool ReadsBackAs(std::string_view printed, const std::string& code)
{
    tinyxml2::XMLDocument check(true, tinyxml2::PRESERVE_WHITESPACE);
    if (check.Parse(printed.data(), printed.size()) != tinyxml2::XML_SUCCESS)
        return false;
    const tinyxml2::XMLElement* root = check.RootElement();
    const tinyxml2::XMLElement* lang = root ? root->FirstChildElement("lang") : nullptr;
    const char* text = lang ? lang->GetText() : nullptr;
    return lang && code == (text ? text : "");
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Writes the new document beside `target` and renames it over the target, so
// that a crash or a full disk leaves either the old file or the new one,
// never a truncated one. The copy takes the original's mode, and its owner
// where we may set it (only root may give a file away).
bool ReplaceFile(const fs::path& target, const struct stat& original, std::string_view bytes)
{
    std::string temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = true;
    if (::fchown(fd, original.st_uid, original.st_gid) != 0 && errno != EPERM)
        ok = false;
    // After fchown, which may clear set-id bits.
    ok = ok && ::fchmod(fd, original.st_mode & 07777) == 0;
    ok = ok && WriteAll(fd, bytes);
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; the new file is in place either way.
    const int dirFd = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

// A new lang.xml holding `code`, in the form the program ships, written as
// any other save is: beside it first, then renamed into place.
void CreateFile(const std::string& path, const std::string& code)
{
    const fs::path target(path);
    if (!MakeFolders(target.parent_path().string() + "/"))
        return;
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    doc.InsertEndChild(doc.NewDeclaration());
    tinyxml2::XMLElement* root = doc.NewElement("config");
    doc.InsertEndChild(root);
    root->InsertEndChild(doc.NewElement("lang"))->ToElement()->SetText(code.c_str());
    tinyxml2::XMLPrinter printer(nullptr, /*compact=*/false);
    doc.Print(&printer);
    const std::string_view printed(printer.CStr(), static_cast<std::size_t>(printer.CStrSize()) - 1);
    if (!ReadsBackAs(printed, code))
        return;
    struct stat owner
    {};
    owner.st_uid = ::getuid();
    owner.st_gid = ::getgid();
    owner.st_mode = 0600;
    ReplaceFile(target, owner, printed);
}

}  // namespace

bool ReadLanguagePreference(std::u16string_view dir, std::u16string& code)
{
    const std::optional<std::string> path = PreferencePath(dir);
    struct stat st
    {};
    if (!path || !StatRegularFile(*path, st))
        return false;
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    const tinyxml2::XMLElement* lang = LoadLangElement(doc, *path);
    if (!lang)
        return false;
    const char* text = lang->GetText();
    code = DecodeLocal8Bit(text ? text : "");
    return true;
}

void WriteLanguagePreference(std::u16string_view dir, std::u16string_view code, IfMissing ifMissing)
{
    const std::optional<std::string> path = PreferencePath(dir);
    const std::optional<std::string> text = EncodeLocal8Bit(code);
    if (!path || !text)
        return;
    struct stat link
    {};
    if (::lstat(path->c_str(), &link) != 0 && errno == ENOENT) {
        if (ifMissing == IfMissing::kCreate)
            CreateFile(*path, *text);
        return;
    }
    // A lang.xml that is a symlink is written through: the new document
    // replaces the link's final target, so the link stays a link and keeps
    // pointing where the user aimed it (e.g. at a shared settings folder).
    std::error_code ec;
    const fs::path target = fs::canonical(*path, ec);
    struct stat st
    {};
    if (ec || !StatRegularFile(target.string(), st))
        return;
    // Renaming would replace a file that its owner made read-only; an
    // in-place save could not, so neither do we.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return;

    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    tinyxml2::XMLElement* lang = LoadLangElement(doc, target.string());
    if (!lang)
        return;
    lang->SetText(text->c_str());
    tinyxml2::XMLPrinter printer(nullptr, /*compact=*/false);
    doc.Print(&printer);
    // CStrSize counts the terminating NUL.
    const std::string_view printed(printer.CStr(), static_cast<std::size_t>(printer.CStrSize()) - 1);
    if (ReadsBackAs(printed, *text))
        ReplaceFile(target, st, printed);
}

std::u16string LanguageOfLocale(std::string_view locale)
{
    const bool chinese = locale.size() >= 2 && (locale[0] == 'z' || locale[0] == 'Z') &&
                         (locale[1] == 'h' || locale[1] == 'H') &&
                         (locale.size() == 2 || !std::isalpha(static_cast<unsigned char>(locale[2])));
    return std::u16string(chinese ? kLanguageChinese : kLanguageEnglish);
}

std::u16string StartupLanguage(std::u16string_view dir)
{
    std::u16string code;
    if (ReadLanguagePreference(dir, code))
        return code;
    return std::u16string(kLanguageChinese);
}
