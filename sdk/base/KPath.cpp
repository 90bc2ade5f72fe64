#include "sdk/base/KPath.h"

#include <strings.h>

#include <climits>
#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/PlatformFile.h"
#include "platform/SystemInfo.h"

namespace duzsdk {

namespace {

template <class CharT>
bool IsSeparator(CharT c)
{
    return c == CharT('/') || c == CharT('\\');
}

template <class CharT>
bool IsAsciiLetter(CharT c)
{
    return (c >= CharT('a') && c <= CharT('z')) || (c >= CharT('A') && c <= CharT('Z'));
}

enum class Root { kNone, kDrive, kShare, kSlash };

// How a path is anchored: a drive letter with ":", two leading separators
// (a network share), one leading separator (the file system root), or not at all.
template <class CharT>
Root GetRoot(std::basic_string_view<CharT> path)
{
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == CharT(':'))
        return Root::kDrive;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        return Root::kShare;
    if (!path.empty() && IsSeparator(path[0]))
        return Root::kSlash;
    return Root::kNone;
}

size_t LastSeparator(std::string_view path)
{
    return path.find_last_of("/\\");
}

// KString lengths are int: a longer text gives an invalid string rather than a cut one.
KString ToKString(std::string_view text)
{
    if (text.size() > static_cast<size_t>(INT_MAX))
        return KString(static_cast<const char*>(nullptr));
    return KString(text.data(), static_cast<int>(text.size()));
}

template <class CharT>
std::basic_string<CharT> CleanPath(std::basic_string_view<CharT> path)
{
    using String = std::basic_string<CharT>;
    using View = std::basic_string_view<CharT>;

    const Root root = GetRoot(path);
    String prefix;
    View rest = path;
    switch (root) {
    case Root::kDrive:
        prefix = String(path.substr(0, 2)) + CharT('/');
        rest = path.substr(2);
        break;
    case Root::kShare:
        prefix = String(2, CharT('/'));
        break;
    case Root::kSlash:
        prefix = String(1, CharT('/'));
        break;
    case Root::kNone:
        break;
    }

    std::vector<View> kept;
    size_t climbs = 0;   // leading ".." of a relative path
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t end = pos;
        while (end < rest.size() && !IsSeparator(rest[end]))
            ++end;
        const View segment = rest.substr(pos, end - pos);
        pos = end + 1;
        if (segment.empty() || (segment.size() == 1 && segment[0] == CharT('.')))
            continue;
        if (segment.size() == 2 && segment[0] == CharT('.') && segment[1] == CharT('.')) {
            if (!kept.empty())
                kept.pop_back();
            else
                ++climbs;
            continue;
        }
        kept.push_back(segment);
    }

    if (root != Root::kNone && climbs > 0)
        return String();   // it would climb above its root

    String result = prefix;
    const CharT dotDot[] = {CharT('.'), CharT('.'), CharT('/'), CharT(0)};
    for (size_t i = 0; i < climbs; ++i)
        result += dotDot;
    for (const View& segment : kept) {
        result.append(segment.data(), segment.size());
        result += CharT('/');
    }
    if (result.size() > prefix.size() && result.back() == CharT('/'))
        result.pop_back();
    return result;
}

std::string CleanText(std::string_view path)
{
    return CleanPath<char>(path);
}

std::string CurrentFolder()
{
    return CleanText(duzplatform::GetCurrentFolder());
}

// A relative path prefixed with the current folder. When the current folder
// is unknown (it was deleted) the path stays relative rather than being put
// at the root.
std::string AgainstCurrentFolder(std::string_view path)
{
    std::string absolute;
    if (GetRoot(path) == Root::kNone) {
        absolute = CurrentFolder();
        if (!absolute.empty())
            absolute += '/';
    }
    absolute.append(path.data(), path.size());
    return absolute;
}

// The path made absolute against the current folder and cleaned; a trailing
// separator is kept, so a folder given as "a/b/" stays a folder.
std::string FullPath(std::string_view path)
{
    std::string absolute = AgainstCurrentFolder(path);
    std::string clean = CleanText(absolute);
    if (!clean.empty() && clean.back() != '/' && !path.empty() && IsSeparator(path.back()))
        clean += '/';
    return clean;
}

std::string DrivePrefix(std::string_view path)
{
    std::string prefix;
    const Root root = GetRoot(path);
    if (root == Root::kDrive) {
        prefix.assign(path.data(), 2);
    } else if (root == Root::kShare && path.size() >= 3) {
        // Two separators, the server, a separator and the share.
        size_t separators = 0;
        size_t end = path.size();
        for (size_t i = 0; i < path.size(); ++i) {
            if (IsSeparator(path[i]) && ++separators == 4) {
                end = i;
                break;
            }
        }
        if (separators >= 3)
            prefix.assign(path.data(), end);
    }
    for (char& c : prefix) {
        if (c == '\\')
            c = '/';
        else if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return prefix;
}

std::vector<std::string_view> SplitSegments(std::string_view text)
{
    std::vector<std::string_view> segments;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = pos;
        while (end < text.size() && !IsSeparator(text[end]))
            ++end;
        if (end > pos)
            segments.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return segments;
}

bool SameSegment(std::string_view a, std::string_view b, bool ignoreCase)
{
    if (a.size() != b.size())
        return false;
    if (!ignoreCase)
        return a == b;
    return strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

KString KPathGetFileName(KPathArg path, bool keepExtension)
{
    std::string_view text = path.Text();
    const size_t separator = LastSeparator(text);
    if (separator != std::string_view::npos)
        text.remove_prefix(separator + 1);
    if (!keepExtension) {
        const size_t dot = text.rfind('.');
        if (dot != std::string_view::npos)
            text = text.substr(0, dot);
    }
    return ToKString(text);
}

KString KPathGetExtension(KPathArg path)
{
    const std::string_view text = path.Text();
    const size_t dot = text.rfind('.');
    const size_t separator = LastSeparator(text);
    if (dot == std::string_view::npos || (separator != std::string_view::npos && dot < separator))
        return KString("");
    return ToKString(text.substr(dot + 1));
}

bool KPathHasExtension(KPathArg path, KPathArg extension)
{
    return KPathGetExtension(path).CompareNoCase(extension.Text()) == 0;
}

bool KPathIsDuzFile(KPathArg path)
{
    return KPathHasExtension(path, "duz");
}

KString KPathReplaceExtension(KPathArg path, KPathArg suffix)
{
    std::string_view text = path.Text();
    const size_t dot = text.rfind('.');
    const size_t separator = LastSeparator(text);
    if (dot != std::string_view::npos && (separator == std::string_view::npos || dot > separator))
        text = text.substr(0, dot);
    std::string result(text);
    result += suffix.Text();
    return ToKString(result);
}

KString KPathStripFileName(KPathArg path)
{
    const std::string_view text = path.Text();
    const size_t separator = LastSeparator(text);
    if (separator == std::string_view::npos)
        return ToKString(text);
    return ToKString(text.substr(0, separator));
}

KString KPathGetDirectory(KPathArg path)
{
    const std::string_view text = path.Text();
    const size_t separator = LastSeparator(text);
    if (separator == std::string_view::npos)
        return KString("");
    return ToKString(text.substr(0, separator));
}

KString KPathGetDrivePrefix(KPathArg path)
{
    return ToKString(DrivePrefix(path.Text()));
}

bool KPathIsRelative(const char* path)
{
    return path != nullptr && GetRoot(std::string_view(path)) == Root::kNone;
}

KString KPathJoin(KPathArg base, KPathArg file)
{
    const std::string_view baseText = base.Text();
    const std::string_view fileText = file.Text();
    // An empty base adds nothing: joining it with "/" would make a relative file absolute.
    if (!KPathIsRelative(file.Text()) || baseText.empty())
        return ToKString(CleanText(fileText));
    std::string joined(baseText);
    if (!IsSeparator(joined.back()))
        joined += '/';
    joined.append(fileText.data(), fileText.size());
    return ToKString(CleanText(joined));
}

KString KPathClean(KPathArg path)
{
    return ToKString(CleanText(path.Text()));
}

std::wstring KPathCleanWide(const wchar_t* path)
{
    return CleanPath<wchar_t>(path != nullptr ? std::wstring_view(path) : std::wstring_view());
}

KString KPathGetCurrentDirectory()
{
    return ToKString(CurrentFolder());
}

KString KPathMakeAbsolute(KPathArg path)
{
    return ToKString(CleanText(AgainstCurrentFolder(path.Text())));
}

bool KPathFileExists(KPathArg path)
{
    const std::string_view text = path.Text();
    if (text.empty() || duzplatform::IsFolder(text))
        return false;
    // Opened rather than looked up, so "exists" also means "readable"; the
    // platform open refuses devices and FIFOs without blocking.
    FILE* stream = duzplatform::OpenFile(duzplatform::ToNativePath(text).c_str(), "rb");
    if (stream == nullptr)
        return false;
    std::fclose(stream);
    return true;
}

bool KPathCreateDirectories(KPathArg path)
{
    const std::string_view text = path.Text();
    // Drives and shares name places that do not exist on this system.
    const Root root = GetRoot(text);
    if (text.empty() || root == Root::kDrive || root == Root::kShare)
        return false;
    const std::string absolute = FullPath(text);
    const size_t separator = LastSeparator(absolute);
    if (absolute.empty() || separator == std::string::npos)
        return false;
    const std::string folder = absolute.substr(0, separator == 0 ? 1 : separator);
    return duzplatform::MakeFolders(folder);
}

KString KPathGetRelativePath(KPathArg base, KPathArg target)
{
    const std::string absoluteBase = FullPath(base.Text());
    const std::string absoluteTarget = FullPath(target.Text());
    const std::string basePrefix = DrivePrefix(absoluteBase);
    if (absoluteBase.empty() || absoluteTarget.empty() ||
        basePrefix != DrivePrefix(absoluteTarget))
        return ToKString(absoluteTarget);

    // The folders between the prefix and the last separator.
    const auto folderAfterPrefix = [&basePrefix](const std::string& path) {
        const size_t separator = LastSeparator(path);
        if (separator == std::string::npos || separator < basePrefix.size())
            return std::string_view();
        return std::string_view(path).substr(basePrefix.size(), separator - basePrefix.size());
    };
    const std::vector<std::string_view> baseFolders = SplitSegments(folderAfterPrefix(absoluteBase));
    const std::vector<std::string_view> targetFolders =
        SplitSegments(folderAfterPrefix(absoluteTarget));

    // Stored Windows paths (drives and shares) name folders without regard to
    // case; Linux folders differ by case.
    const bool ignoreCase = !basePrefix.empty();
    size_t shared = 0;
    while (shared < baseFolders.size() && shared < targetFolders.size() &&
           SameSegment(baseFolders[shared], targetFolders[shared], ignoreCase))
        ++shared;

    std::string result;
    for (size_t i = shared; i < baseFolders.size(); ++i)
        result += "../";
    for (size_t i = shared; i < targetFolders.size(); ++i) {
        result.append(targetFolders[i].data(), targetFolders[i].size());
        result += '/';
    }
    result += absoluteTarget.substr(LastSeparator(absoluteTarget) + 1);
    return ToKString(result);
}

KString KPathGetRelativeFilePath(KPathArg base, KPathArg file)
{
    std::string folder(KPathGetDirectory(file).Buffer());
    if (folder.empty())
        folder = CurrentFolder();
    folder += '/';
    const KString relativeFolder = KPathGetRelativePath(base, folder);
    return KPathJoin(relativeFolder, KPathGetFileName(file, true));
}

}  // namespace duzsdk
