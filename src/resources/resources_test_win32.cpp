// The Windows resources of the built tool, read the way Windows reads them: the
// version resource through the version API (the file's Details tab), the
// application manifest through the resource lookup and as the activation
// context that the loader makes of it when the program starts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "version.h"

namespace {

// The tool's path as the build gives it; a Unix path under Wine, whose root is
// drive Z:.
std::wstring ToolPath() {
    std::wstring path;
    for (const char* c = VANTREL_EXE; *c != '\0'; ++c) path += static_cast<wchar_t>(*c);
    if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
    return path;
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// The Windows versions the tool declares, by their compatibility ids.
const struct {
    const char* name;
    GUID id;
} kSupportedOs[] = {
    {"Windows 7", {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}}},
    {"Windows 8", {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}}},
    {"Windows 8.1", {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}}},
    {"Windows 10 and 11", {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}}},
};

std::string GuidText(const GUID& id) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1],
                  id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    return text;
}

TEST(ResourcesTest, VersionResourceNamesTheProductAndTheProjectVersion) {
    const std::wstring tool = ToolPath();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(tool.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource, error " << GetLastError();
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(tool.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const DWORD high = MAKELONG(VANTREL_VERSION_MINOR, VANTREL_VERSION_MAJOR);
    const DWORD low = MAKELONG(0, VANTREL_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    // The strings are found through the language and code page that the
    // resource lists, as Windows looks them up.
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 2 * sizeof(WORD));
    wchar_t table[16];
    swprintf(table, 16, L"%04x%04x", translation[0], translation[1]);

    const struct {
        const char* name;
        std::string expected;
    } strings[] = {
        {"ProductName", "vantrel"},
        {"FileVersion", VANTREL_VERSION_TEXT},
        {"ProductVersion", VANTREL_PRODUCT_VERSION_TEXT},
        {"OriginalFilename", "vantrel.exe"},
    };
    auto value = [&](const char* name) -> std::wstring {
        std::wstring key = L"\\StringFileInfo\\" + std::wstring(table) + L"\\" + Widen(name);
        wchar_t* text = nullptr;
        UINT characters = 0;
        if (!VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&text), &characters)) {
            return L"(missing)";
        }
        return text;
    };
    for (const auto& s : strings) EXPECT_EQ(value(s.name), Widen(s.expected)) << s.name;
    EXPECT_GT(value("FileDescription").size(), 10u);
}

TEST(ResourcesTest, ManifestAsksForTheCallersRightsAndNamesWindows7To11) {
    HMODULE tool = LoadLibraryExW(ToolPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(tool, nullptr) << "error " << GetLastError();
    HRSRC found = FindResourceW(tool, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    ASSERT_NE(found, nullptr) << "no manifest resource";
    HGLOBAL loaded = LoadResource(tool, found);
    ASSERT_NE(loaded, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    std::string manifest(bytes, SizeofResource(tool, found));
    FreeLibrary(tool);

    EXPECT_NE(manifest.find(R"(level="asInvoker")"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find(R"(uiAccess="false")"), std::string::npos) << manifest;
    for (const auto& os : kSupportedOs) {
        EXPECT_NE(manifest.find(R"(<supportedOS Id=")" + GuidText(os.id) + R"("/>)"), std::string::npos)
            << os.name;
    }
}

// The manifest as the loader reads it when the program starts: one that does
// not parse stops the program from starting on Windows.
TEST(ResourcesTest, ManifestParsesIntoTheCallersRunLevel) {
    const std::wstring tool = ToolPath();
    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = tool.c_str();
    request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION run_level = {};
    EXPECT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &run_level,
                             sizeof run_level, nullptr));
    EXPECT_EQ(run_level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_EQ(run_level.UiAccess, 0u);
    ReleaseActCtx(context);
}

}  // namespace
