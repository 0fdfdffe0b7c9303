#include "i18n/LanguagePreference.h"

#include "base/LocaleText.h"
#include "i18n/PreferenceFile.h"
#include "i18n/TextCatalogue.h"

#include <cctype>
#include <optional>
#include <tinyxml2.h>

namespace {

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

// A new lang.xml holding `code`, in the form the program ships.
void CreateFile(const std::string& path, const std::string& code)
{
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    doc.InsertEndChild(doc.NewDeclaration());
    tinyxml2::XMLElement* root = doc.NewElement("config");
    doc.InsertEndChild(root);
    root->InsertEndChild(doc.NewElement("lang"))->ToElement()->SetText(code.c_str());
    tinyxml2::XMLPrinter printer(nullptr, /*compact=*/false);
    doc.Print(&printer);
    const std::string_view printed(printer.CStr(), static_cast<std::size_t>(printer.CStrSize()) - 1);
    if (ReadsBackAs(printed, code))
        CreateFileContents(path, printed);
}

}  // namespace

bool ReadLanguagePreference(std::u16string_view dir, std::u16string& code)
{
    const std::optional<std::string> path = PreferencePath(dir);
    if (!path || !IsRegularFile(*path))
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
    if (IsMissing(*path)) {
        if (ifMissing == IfMissing::kCreate)
            CreateFile(*path, *text);
        return;
    }
    // A lang.xml that is a link is written through: the new document
    // replaces the link's final target, so the link stays a link and keeps
    // pointing where the user aimed it (e.g. at a shared settings folder).
    // One that its owner made read-only is left alone: an in-place save could
    // not replace it, so neither do we.
    const std::optional<std::string> target = WritableTarget(*path);
    if (!target)
        return;

    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    tinyxml2::XMLElement* lang = LoadLangElement(doc, *target);
    if (!lang)
        return;
    lang->SetText(text->c_str());
    tinyxml2::XMLPrinter printer(nullptr, /*compact=*/false);
    doc.Print(&printer);
    // CStrSize counts the terminating NUL.
    const std::string_view printed(printer.CStr(), static_cast<std::size_t>(printer.CStrSize()) - 1);
    if (ReadsBackAs(printed, *text))
        ReplaceFileContents(*target, printed);
}

std::u16string LanguageOfLocale(std::string_view locale)
{
    const auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    const bool chinese = locale.size() >= 2 && lower(locale[0]) == 'z' && lower(locale[1]) == 'h' &&
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
