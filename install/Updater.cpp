#include "install/Updater.h"

#include "common/Errors.h"
#include "common/WinUtil.h"
#include "install/FileOperations.h"
#include "install/ProcessLaunch.h"

#include <msxml2.h>
#include <oleauto.h>

#include <algorithm>

namespace {

// MSXML's version-independent DOMDocument, present on every supported Windows.
const CLSID kDomDocumentClass = {
    0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};

const wchar_t kNotAPackage[] = L"WithOutAnswer";

class Bstr {
public:
    explicit Bstr(const std::wstring& s) : b_(SysAllocStringLen(s.data(), s.size())) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return b_; }

private:
    BSTR b_;
};

class Variant {
public:
    Variant() { VariantInit(&v_); }
    explicit Variant(const std::wstring& s) {
        VariantInit(&v_);
        v_.vt = VT_BSTR;
        v_.bstrVal = SysAllocStringLen(s.data(), s.size());
    }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* put() {
        VariantClear(&v_);
        return &v_;
    }
    VARIANT& get() { return v_; }

private:
    VARIANT v_;
};

void Check(HRESULT hr, const std::wstring& what) {
    if (FAILED(hr)) throw EInstallError(what + L": " + SysErrorMessage(static_cast<DWORD>(hr)));
}

bool IsPackageName(const std::wstring& path) {
    return ExtractFileName(path) != kNotAPackage;
}

bool LessIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                          static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_LESS_THAN;
}

void LoadDocument(const std::wstring& fileName, ComPtr<IXMLDOMDocument>& document) {
    Check(CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                           document.put_void()),
          L"MSXML DOMDocument is not available");
    Check(document->put_async(VARIANT_FALSE), L"cannot switch off asynchronous loading");
    VARIANT_BOOL loaded = VARIANT_FALSE;
    Variant source(fileName);
    document->load(source.get(), &loaded);
    if (loaded == VARIANT_TRUE) return;
    // The parser's own reason says more than the missing document element would.
    std::wstring reason = L"cannot parse " + fileName;
    ComPtr<IXMLDOMParseError> parseError;
    BSTR text = nullptr;
    if (SUCCEEDED(document->get_parseError(parseError.put())) && parseError &&
        SUCCEEDED(parseError->get_reason(&text)) && text && *text)
        reason += L": " + Trim(text);
    SysFreeString(text);
    throw EInstallError(reason);
}

void SelectNode(IXMLDOMNode* from, const std::wstring& query, ComPtr<IXMLDOMNode>& node) {
    Bstr xpath(query);
    Check(from->selectSingleNode(xpath.get(), node.put()), L"XPath query " + query + L" failed");
}

void RequireNode(IXMLDOMNode* from, const std::wstring& query, ComPtr<IXMLDOMNode>& node) {
    SelectNode(from, query, node);
    if (!node) throw EInstallError(L"element " + query + L" not found");
}

std::wstring TextOf(IXMLDOMNode* node) {
    Variant value, text;
    Check(node->get_nodeTypedValue(value.put()), L"cannot read a node value");
    Check(VariantChangeType(text.put(), &value.get(), 0, VT_BSTR), L"cannot read a node value");
    return text.get().bstrVal ? std::wstring(text.get().bstrVal) : std::wstring();
}

int ParseInteger(const std::wstring& text) {
    std::wstring digits = Trim(text);
    std::size_t start = !digits.empty() && (digits[0] == L'-' || digits[0] == L'+') ? 1 : 0;
    bool valid = digits.size() > start && digits.size() - start <= 9 &&
                 std::all_of(digits.begin() + start, digits.end(),
                             [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    if (!valid) throw EInstallError(L"'" + text + L"' is not a valid integer value");
    return std::stoi(digits);
}

int VersionOf(IXMLDOMNode* root) {
    ComPtr<IXMLDOMNode> version;
    SelectNode(root, L"Version", version);
    return version ? ParseInteger(TextOf(version.get())) : 0;
}

// Saves beside the file and moves the result over it, so that a failed save leaves the old file.
void SaveReplacing(IXMLDOMDocument* document, const std::wstring& fileName) {
    // Replacing by a move would pass over the read-only bit that a save in place respects.
    DWORD attributes = GetFileAttributesW(fileName.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        throw EInstallError(L"cannot save " + fileName + L": " +
                            SysErrorMessage(ERROR_ACCESS_DENIED));
    const std::wstring temp = fileName + L".~" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    Variant destination(temp);
    HRESULT hr = document->save(destination.get());
    if (FAILED(hr)) {
        DeleteFileW(temp.c_str());
        Check(hr, L"cannot save " + fileName);
    }
    if (!MoveFileExW(temp.c_str(), fileName.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD error = GetLastError();
        DeleteFileW(temp.c_str());
        throw EInstallError(L"cannot save " + fileName + L": " + SysErrorMessage(error));
    }
}

void WriteLevel(const std::wstring& fileName, const std::wstring& level) {
    ComPtr<IXMLDOMDocument> document;
    LoadDocument(fileName, document);
    ComPtr<IXMLDOMElement> element;
    Check(document->get_documentElement(element.put()), L"no document element");
    if (!element) throw EInstallError(L"no document element");
    ComPtr<IXMLDOMNode> root;
    RequireNode(element.get(), L"/ROOT", root);
    if (VersionOf(root.get()) != 1) throw EInstallError(L"unknown release file version");
    ComPtr<IXMLDOMNode> levelNode;
    RequireNode(root.get(), L"Level", levelNode);
    Variant value(level);
    Check(levelNode->put_nodeTypedValue(value.get()), L"cannot set Level");
    SaveReplacing(document.get(), fileName);
}

// Install.cmd expects its package folder as the current folder; afterwards the target folder
// stays current for the rest of the run, also when the script could not be started.
void RunReleaseScript(const std::wstring& package, const std::wstring& target) {
    struct TargetBecomesCurrent {
        const std::wstring& folder;
        ~TargetBecomesCurrent() { SetCurrentDirectoryW(folder.c_str()); }
    } restore{target};
    SetCurrentDirectoryW((package + L"\\").c_str());
    RunInFolderAndWait(package + L"\\Install.cmd", L"", SW_HIDE);
}

} // namespace

int DateKey(const std::wstring& PackageFolder) {
    const std::size_t n = PackageFolder.size();
    bool sixDigits = n >= 6 && std::all_of(PackageFolder.end() - 6, PackageFolder.end(),
                                           [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    if (!sixDigits)
        throw EInstallError(L"Имя папки пакета обновления \"" + PackageFolder +
                            L"\" не оканчивается шестью цифрами даты (ДДММГГ).");
    auto digit = [&](std::size_t i) { return PackageFolder[n - 6 + i] - L'0'; };
    // DDMMYY read as YYMMDD.
    int key = 0;
    for (std::size_t i : {4, 5, 2, 3, 0, 1})
        key = key * 10 + digit(i);
    return key;
}

std::wstring ChooseNewestPackage(const std::wstring& BackupFolder,
                                 std::vector<std::wstring> Packages) {
    std::erase_if(Packages, [](const std::wstring& p) { return !IsPackageName(p); });
    if (Packages.empty())
        throw EInstallError(L"В папке \"" + BackupFolder + L"\" нет ни одного пакета обновления.");
    std::stable_sort(Packages.begin(), Packages.end(), LessIgnoringCase);
    std::vector<int> keys;
    for (const std::wstring& package : Packages)
        keys.push_back(DateKey(package));
    std::size_t best = 0;
    for (std::size_t i = 1; i < keys.size(); ++i)
        if (keys[i] > keys[best]) best = i;
    return Packages[best];
}

std::wstring ReleaseLevelOf(const std::wstring& PackageFolder) {
    std::wstring name = ExtractFileName(ExcludeTrailingPathDelimiter(PackageFolder));
    return name.empty() ? name : name.substr(1);
}

void UpdateReleaseLevel(const std::wstring& TargetFolder, const std::wstring& Level) {
    ComInit com;
    const std::wstring fileName = TargetFolder + L"ReleaseInfo";
    if (!FileExists(fileName)) throw EInstallError(L"Release info file does not exist");
    try {
        WriteLevel(fileName, Level);
    } catch (const EInstallError& error) {
        throw EInstallError(L"Cannot get release information, error: " + error.Message);
    }
}

void HandOverToUpdater(const std::wstring& Source, const std::wstring& Target) {
    CreateFolderIfMissing(Target + L"backup");
    CopyFolderTree(Source + L"backup", Target + L"backup");
    CopyFolderTree(Source + L"Updater", Target);
    SetReadOnlyAttribute(Target + L"ReleaseInfo", false);
    SetReadOnlyAttribute(Target + L"Updater.exe.cfg", false);
    std::vector<std::wstring> packages;
    ListSubfolders(Target + L"backup\\", packages);
    const std::wstring newest = ChooseNewestPackage(Target + L"backup", std::move(packages));
    RunReleaseScript(newest, Target);
    UpdateReleaseLevel(Target, ReleaseLevelOf(newest));
}
