#include "sdk/base/KTemporaryFileManager.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"
#include "sdk/base/KFolderEnumerator.h"
#include "sdk/base/KPath.h"

namespace duzsdk {

namespace {

KTemporaryFileManager::NotificationLink gLink = nullptr;
KTemporaryFileManager* gInstance = nullptr;

// Folders that are never removed, even when a released file leaves them empty:
// they belong to the system or the user, not to the SDK.
bool IsSharedFolder(const std::string& folder)
{
    const std::string native = duzplatform::ToNativePath(KPathClean(folder.c_str()).Buffer());
    if (native.empty())
        return true;
    for (const std::string& shared : {std::string("/"), duzplatform::GetTemporaryFolder(),
                                      duzplatform::GetCurrentFolder()}) {
        std::error_code error;
        if (!shared.empty() && std::filesystem::equivalent(native, shared, error))
            return true;
    }
    return false;
}

}  // namespace

void KTemporaryFileManager::SetNotificationLink(NotificationLink link)
{
    gLink = link;
}

KTemporaryFileManager* KTemporaryFileManager::GetInstance()
{
    // Whatever the link creates while this is constructed is destroyed after it,
    // so the destructor can still unregister at exit.
    static KTemporaryFileManager instance(true);
    gInstance = &instance;
    return &instance;
}

KTemporaryFileManager::KTemporaryFileManager(bool keepFiles) : keepFiles_(keepFiles)
{
    if (gLink != nullptr)
        linked_ = gLink(this, true);
}

KTemporaryFileManager::~KTemporaryFileManager()
{
    if (linked_ && gLink != nullptr)
        gLink(this, false);
    ReleaseAll();
    if (gInstance == this)
        gInstance = nullptr;
}

KTemporaryFileManager* KTemporaryFileManager::GetInterface(int interfaceId)
{
    return interfaceId == kInterfaceId ? this : nullptr;
}

void KTemporaryFileManager::Destroy()
{
    if (this != gInstance)
        delete this;
}

bool KTemporaryFileManager::AddFile(const char* path, bool deleteOnRelease)
{
    if (path == nullptr || paths_.count(path) != 0)
        return false;
    auto* file = new KTemporaryFile{KString(path), deleteOnRelease};
    if (files_.Add(file) < 0) {
        delete file;
        return false;
    }
    paths_.insert(path);
    return true;
}

void KTemporaryFileManager::ReleaseAll()
{
    for (KTemporaryFile* file : files_) {
        if (keepFiles_)
            file->deleteOnRelease = false;
        ReleaseEntry(*file);
        delete file;
    }
    files_.Clear();
    paths_.clear();
}

void KTemporaryFileManager::ReleaseEntry(const KTemporaryFile& file)
{
    if (!file.deleteOnRelease)
        return;
    const std::string_view path = file.path.Buffer();
    duzplatform::DeleteFile(path);
    const size_t separator = path.find_last_of("/\\");
    if (separator == std::string_view::npos)
        return;
    const std::string folder(path.substr(0, separator + 1));
    if (!IsSharedFolder(folder) && KFolderIsEmpty(folder.c_str()))
        KFolderEnumerator::DeleteTree(folder.c_str());
}

void KTemporaryFileManager::OnNotification(int code)
{
    if (code == kReleaseCode)
        ReleaseAll();
}

bool KTemporaryFileCreate(const char* folder, const char* prefix, KString* outPath)
{
    if (outPath == nullptr)
        return false;
    const std::string where = folder != nullptr && folder[0] != '\0'
                                  ? std::string(folder)
                                  : duzplatform::GetTemporaryFolder();
    std::string path;
    if (!duzplatform::CreateUniqueFile(where, prefix != nullptr ? prefix : "", &path))
        return false;
    *outPath = path.c_str();
    return true;
}

}  // namespace duzsdk
