// makecab: a stand-in for the system's cabinet tool, for the tests that run
// Kelvane under Wine, which has no such tool. The diagnostic report's batch
// file compresses the report in place with it:
//
//   makecab SOURCE [DESTINATION]
//
// It writes a cabinet holding SOURCE under its file name (without its
// folder), compressed with MSZIP (stored as it is when the cabinet library
// refuses MSZIP). DESTINATION may be SOURCE itself; without it the cabinet
// goes to the current folder, named like SOURCE with its last character
// replaced by '_'. The cabinet is built under a temporary name beside
// DESTINATION and takes its place only when whole, so on any failure
// SOURCE and DESTINATION stay as they were.
//
// Exit status: 0 the cabinet is written; 1 it is not (a line on stderr
// says why); 2 the command line was wrong.
//
// The cabinet library's compression interface (cabinet.dll) is loaded at
// run time: the cross compiler has neither its header nor its import
// library, so its types are declared here as documented.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// ---- The cabinet library's compression interface --------------------------

struct ERF {
    int erfOper;  // an FCIERR_ value
    int erfType;  // the C runtime's or the system's error number, if any
    BOOL fError;
};

// What erfOper says went wrong.
enum FciError {
    FCIERR_NONE,
    FCIERR_OPEN_SRC,
    FCIERR_READ_SRC,
    FCIERR_ALLOC_FAIL,
    FCIERR_TEMP_FILE,
    FCIERR_BAD_COMPR_TYPE,
    FCIERR_CAB_FILE,
    FCIERR_USER_ABORT,
    FCIERR_MCI_FAIL,
    FCIERR_CAB_FORMAT_LIMIT,
};

constexpr int CB_MAX_DISK_NAME = 256;
constexpr int CB_MAX_CABINET_NAME = 256;
constexpr int CB_MAX_CAB_PATH = 256;
constexpr ULONG CB_MAX_DISK = 0x7fffffffUL;

struct CCAB {
    ULONG cb;              // room for the cabinet on its disk
    ULONG cbFolderThresh;  // size at which a new folder starts
    UINT cbReserveCFHeader;
    UINT cbReserveCFFolder;
    UINT cbReserveCFData;
    int iCab;
    int iDisk;
    int fFailOnIncompressible;
    USHORT setID;
    char szDisk[CB_MAX_DISK_NAME];
    char szCab[CB_MAX_CABINET_NAME];     // the cabinet's file name
    char szCabPath[CB_MAX_CAB_PATH];     // its folder, ending in a backslash
};
static_assert(sizeof(CCAB) == 804, "CCAB as the cabinet library lays it out");

using TCOMP = USHORT;
constexpr TCOMP tcompTYPE_NONE = 0x0000;
constexpr TCOMP tcompTYPE_MSZIP = 0x0001;

using HFCI = void*;

// Every callback and every function of the interface is cdecl.
using PFNFCIALLOC = void*(__cdecl*)(ULONG cb);
using PFNFCIFREE = void(__cdecl*)(void* memory);
using PFNFCIOPEN = INT_PTR(__cdecl*)(char* file, int oflag, int pmode, int* err, void* pv);
using PFNFCIREAD = UINT(__cdecl*)(INT_PTR hf, void* memory, UINT cb, int* err, void* pv);
using PFNFCIWRITE = UINT(__cdecl*)(INT_PTR hf, void* memory, UINT cb, int* err, void* pv);
using PFNFCICLOSE = int(__cdecl*)(INT_PTR hf, int* err, void* pv);
using PFNFCISEEK = long(__cdecl*)(INT_PTR hf, long dist, int seektype, int* err, void* pv);
using PFNFCIDELETE = int(__cdecl*)(char* file, int* err, void* pv);
using PFNFCIGETNEXTCABINET = BOOL(__cdecl*)(CCAB* ccab, ULONG cbPrevCab, void* pv);
using PFNFCIFILEPLACED = int(__cdecl*)(CCAB* ccab, char* file, long cbFile, BOOL fContinuation, void* pv);
using PFNFCIGETOPENINFO = INT_PTR(__cdecl*)(char* name, USHORT* date, USHORT* time, USHORT* attribs, int* err,
                                            void* pv);
using PFNFCISTATUS = long(__cdecl*)(UINT typeStatus, ULONG cb1, ULONG cb2, void* pv);
using PFNFCIGETTEMPFILE = BOOL(__cdecl*)(char* tempName, int cbTempName, void* pv);

using FnFCICreate = HFCI(__cdecl*)(ERF*, PFNFCIFILEPLACED, PFNFCIALLOC, PFNFCIFREE, PFNFCIOPEN, PFNFCIREAD,
                                   PFNFCIWRITE, PFNFCICLOSE, PFNFCISEEK, PFNFCIDELETE, PFNFCIGETTEMPFILE, CCAB*,
                                   void*);
using FnFCIAddFile = BOOL(__cdecl*)(HFCI, char* sourceFile, char* nameInCabinet, BOOL fExecute,
                                    PFNFCIGETNEXTCABINET, PFNFCISTATUS, PFNFCIGETOPENINFO, TCOMP);
using FnFCIFlushCabinet = BOOL(__cdecl*)(HFCI, BOOL fGetNextCab, PFNFCIGETNEXTCABINET, PFNFCISTATUS);
using FnFCIDestroy = BOOL(__cdecl*)(HFCI);

constexpr UINT statusCabinet = 2;

struct Fci {
    FnFCICreate create = nullptr;
    FnFCIAddFile addFile = nullptr;
    FnFCIFlushCabinet flushCabinet = nullptr;
    FnFCIDestroy destroy = nullptr;
};

// ---- The callbacks: files through the C runtime, as the interface expects --

void* __cdecl Alloc(ULONG cb) { return std::malloc(cb); }

void __cdecl Free(void* memory) { std::free(memory); }

INT_PTR __cdecl Open(char* file, int oflag, int pmode, int* err, void*) {
    int fd = _open(file, oflag | _O_BINARY, pmode);
    if (fd == -1) *err = errno;
    return fd;
}

UINT __cdecl Read(INT_PTR hf, void* memory, UINT cb, int* err, void*) {
    int n = _read(static_cast<int>(hf), memory, cb);
    if (n == -1) *err = errno;
    return static_cast<UINT>(n);
}

UINT __cdecl Write(INT_PTR hf, void* memory, UINT cb, int* err, void*) {
    int n = _write(static_cast<int>(hf), memory, cb);
    if (n == -1) *err = errno;
    return static_cast<UINT>(n);
}

int __cdecl Close(INT_PTR hf, int* err, void*) {
    int rc = _close(static_cast<int>(hf));
    if (rc != 0) *err = errno;
    return rc;
}

long __cdecl Seek(INT_PTR hf, long dist, int seektype, int* err, void*) {
    long pos = _lseek(static_cast<int>(hf), dist, seektype);
    if (pos == -1) *err = errno;
    return pos;
}

int __cdecl Delete(char* file, int* err, void*) {
    if (DeleteFileA(file)) return 0;
    *err = static_cast<int>(GetLastError());
    return -1;
}

// A name for one of the library's own temporary files. It creates the file
// itself and insists that it is new, so the placeholder goes again.
BOOL __cdecl TempFile(char* tempName, int cbTempName, void*) {
    char folder[MAX_PATH];
    char name[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, folder);
    if (n == 0 || n >= MAX_PATH) return FALSE;
    if (!GetTempFileNameA(folder, "kvc", 0, name)) return FALSE;
    DeleteFileA(name);
    if (std::strlen(name) >= static_cast<std::size_t>(cbTempName)) return FALSE;
    std::strcpy(tempName, name);
    return TRUE;
}

int __cdecl FilePlaced(CCAB*, char*, long, BOOL, void*) { return 0; }

// One cabinet only: the disk is as large as a cabinet may be.
BOOL __cdecl NextCabinet(CCAB*, ULONG, void*) { return FALSE; }

long __cdecl Status(UINT typeStatus, ULONG, ULONG cb2, void*) {
    return typeStatus == statusCabinet ? static_cast<long>(cb2) : 0;
}

// Opens the file to add and tells its date, time and attributes as the
// cabinet keeps them.
INT_PTR __cdecl OpenInfo(char* name, USHORT* date, USHORT* time, USHORT* attribs, int* err, void* pv) {
    INT_PTR hf = Open(name, _O_RDONLY | _O_SEQUENTIAL, 0, err, pv);
    if (hf == -1) return -1;
    FILETIME written;
    FILETIME local;
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(static_cast<int>(hf)));
    if (!GetFileTime(h, nullptr, nullptr, &written) || !FileTimeToLocalFileTime(&written, &local) ||
        !FileTimeToDosDateTime(&local, date, time)) {
        *date = 0x0021;  // 1 January 1980
        *time = 0;
    }
    DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) attributes = FILE_ATTRIBUTE_ARCHIVE;
    *attribs = static_cast<USHORT>(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    return hf;
}

// ---- Paths ----------------------------------------------------------------

std::string FullPath(const char* path) {
    char full[MAX_PATH];
    char* filePart = nullptr;
    DWORD n = GetFullPathNameA(path, MAX_PATH, full, &filePart);
    if (n == 0 || n >= MAX_PATH) return {};
    return full;
}

// Where the folder ends in a path: after its last backslash, slash or colon.
std::size_t NameStart(const std::string& path) {
    std::size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? 0 : slash + 1;
}

const char* FciErrorText(int oper) {
    switch (oper) {
        case FCIERR_OPEN_SRC: return "cannot open the source";
        case FCIERR_READ_SRC: return "cannot read the source";
        case FCIERR_ALLOC_FAIL: return "out of memory";
        case FCIERR_TEMP_FILE: return "cannot make a temporary file";
        case FCIERR_BAD_COMPR_TYPE: return "unknown compression type";
        case FCIERR_CAB_FILE: return "cannot write the cabinet";
        case FCIERR_USER_ABORT: return "aborted";
        case FCIERR_MCI_FAIL: return "compression failed";
        case FCIERR_CAB_FORMAT_LIMIT: return "too large for a cabinet";
        default: return "unknown error";
    }
}

void Fail(const std::string& why) { std::fprintf(stderr, "makecab: %s\n", why.c_str()); }

// Builds the cabinet `folder` + `cabName` holding `source` as `nameInCab`.
// On failure `erf` says why; a cabinet file may have been left behind.
bool Build(const Fci& fci, const std::string& source, const std::string& nameInCab, const std::string& folder,
           const std::string& cabName, TCOMP compression, ERF& erf) {
    CCAB ccab;
    std::memset(&ccab, 0, sizeof ccab);
    ccab.cb = CB_MAX_DISK;
    ccab.cbFolderThresh = CB_MAX_DISK;
    ccab.iCab = 1;
    ccab.setID = static_cast<USHORT>(GetTickCount());
    std::strcpy(ccab.szCabPath, folder.c_str());
    std::strcpy(ccab.szCab, cabName.c_str());

    std::memset(&erf, 0, sizeof erf);
    HFCI hfci = fci.create(&erf, FilePlaced, Alloc, Free, Open, Read, Write, Close, Seek, Delete, TempFile, &ccab,
                           nullptr);
    if (!hfci) return false;
    std::string src = source;
    std::string name = nameInCab;
    bool ok = fci.addFile(hfci, src.data(), name.data(), FALSE, NextCabinet, Status, OpenInfo, compression) &&
              fci.flushCabinet(hfci, FALSE, NextCabinet, Status);
    fci.destroy(hfci);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: makecab SOURCE [DESTINATION]\n");
        return 2;
    }
    std::string source = FullPath(argv[1]);
    if (source.empty()) {
        Fail(std::string("bad source path: ") + argv[1]);
        return 1;
    }
    DWORD attributes = GetFileAttributesA(source.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Fail("no such file: " + source);
        return 1;
    }
    std::string nameInCab = source.substr(NameStart(source));

    std::string destination;
    if (argc == 3) {
        destination = FullPath(argv[2]);
    } else {
        std::string name = nameInCab;
        name.back() = '_';
        destination = FullPath(name.c_str());
    }
    if (destination.empty() || NameStart(destination) == destination.size()) {
        Fail(std::string("bad destination path: ") + (argc == 3 ? argv[2] : ""));
        return 1;
    }
    std::string folder = destination.substr(0, NameStart(destination));

    HMODULE cabinet = LoadLibraryA("cabinet.dll");
    Fci fci;
    if (cabinet) {
        fci.create = reinterpret_cast<FnFCICreate>(reinterpret_cast<void*>(GetProcAddress(cabinet, "FCICreate")));
        fci.addFile = reinterpret_cast<FnFCIAddFile>(reinterpret_cast<void*>(GetProcAddress(cabinet, "FCIAddFile")));
        fci.flushCabinet = reinterpret_cast<FnFCIFlushCabinet>(
            reinterpret_cast<void*>(GetProcAddress(cabinet, "FCIFlushCabinet")));
        fci.destroy = reinterpret_cast<FnFCIDestroy>(reinterpret_cast<void*>(GetProcAddress(cabinet, "FCIDestroy")));
    }
    if (!fci.create || !fci.addFile || !fci.flushCabinet || !fci.destroy) {
        Fail("cabinet.dll or its compression functions are missing");
        return 1;
    }

    // The cabinet's temporary name, in the destination's folder so that it
    // can take the destination's place in one move.
    char temp[MAX_PATH];
    if (!GetTempFileNameA(folder.c_str(), "cab", 0, temp)) {
        Fail("cannot make a temporary file in " + folder);
        return 1;
    }
    std::string tempCab = temp;
    std::string cabName = tempCab.substr(NameStart(tempCab));
    if (folder.size() >= CB_MAX_CAB_PATH || cabName.size() >= CB_MAX_CABINET_NAME) {
        DeleteFileA(tempCab.c_str());
        Fail("the destination's path is too long: " + destination);
        return 1;
    }

    ERF erf;
    bool ok = Build(fci, source, nameInCab, folder, cabName, tcompTYPE_MSZIP, erf);
    if (!ok && erf.erfOper == FCIERR_BAD_COMPR_TYPE) {
        ok = Build(fci, source, nameInCab, folder, cabName, tcompTYPE_NONE, erf);
    }
    if (!ok) {
        DeleteFileA(tempCab.c_str());
        Fail(std::string(FciErrorText(erf.erfOper)) + " (error " + std::to_string(erf.erfOper) + "." +
             std::to_string(erf.erfType) + ") making a cabinet of " + source);
        return 1;
    }
    if (!MoveFileExA(tempCab.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DWORD error = GetLastError();
        DeleteFileA(tempCab.c_str());
        Fail("cannot write " + destination + " (error " + std::to_string(error) + ")");
        return 1;
    }
    return 0;
}
