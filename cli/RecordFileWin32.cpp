// The record file on Windows: an append-only handle, LockFileEx and FlushFileBuffers.
#include <windows.h>

#include "cli/RecordFile.h"
#include "cli/Win32Text.h"

namespace varnel::cli {
namespace {

// How often a wait for the lock looks again while another station holds it.
constexpr DWORD kLockRetryMs = 50;

HANDLE AsHandle(void* file) {
    return static_cast<HANDLE>(file);
}

std::string Reason(DWORD error) {
    return SystemErrorText(error);
}

OVERLAPPED At(ULONGLONG offset) {
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(offset);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return ov;
}

}  // namespace

RecordFile::~RecordFile() {
    Close();
}

bool RecordFile::Open(const std::string& path, std::string& error) {
    Close();
    m_path = path;
    // Read, for the duplicate rule, and append, without the right to write anywhere else: the
    // system itself keeps every write at the end, so the file is never rewritten. Other
    // stations open it alongside; the lock orders them.
    const HANDLE file = ::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ | FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error =
            "The record file " + path + " could not be opened: " + Reason(::GetLastError()) + ".";
        return false;
    }
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        error = "The record file " + path + " is not a regular file.";
        ::CloseHandle(file);
        return false;
    }
    m_file = file;
    return true;
}

RecordFile::LockResult RecordFile::WaitForLock(bool stoppable, std::string& error) {
    if (m_locked) {
        return LockResult::Locked;
    }
    const HANDLE cancel =
        stoppable && m_cancel != nullptr ? static_cast<HANDLE>(m_cancel->WaitHandle()) : nullptr;
    for (;;) {
        // The whole of any file this can ever be.
        OVERLAPPED whole = At(0);
        if (::LockFileEx(AsHandle(m_file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                         MAXDWORD, MAXDWORD, &whole)) {
            m_locked = true;
            return LockResult::Locked;
        }
        const DWORD failure = ::GetLastError();
        if (failure != ERROR_LOCK_VIOLATION && failure != ERROR_IO_PENDING) {
            error = "The record file " + m_path + " could not be locked: " + Reason(failure) + ".";
            return LockResult::Failed;
        }
        // Another station holds it for the length of its exchange. A blocking LockFileEx cannot
        // be ended by a stop (and Wine cannot wait for a lock asynchronously), so look again in
        // a moment, waiting on the cancel token meanwhile.
        if (cancel == nullptr) {
            ::Sleep(kLockRetryMs);
        } else if (::WaitForSingleObject(cancel, kLockRetryMs) == WAIT_OBJECT_0) {
            return LockResult::Interrupted;
        }
    }
}

bool RecordFile::Append(const std::string& line, std::string& error) {
    if (m_file == nullptr) {
        error = "The record file is not open.";
        return false;
    }
    // The run has happened: it is recorded even when a stop comes while another station holds
    // the lock for the length of its exchange.
    if (WaitForLock(false, error) != LockResult::Locked) {
        return false;
    }
    const HANDLE file = AsHandle(m_file);
    std::string text;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size) && size.QuadPart > 0) {
        char last = '\n';
        OVERLAPPED at = At(static_cast<ULONGLONG>(size.QuadPart) - 1);
        DWORD n = 0;
        if (::ReadFile(file, &last, 1, &n, &at) && n == 1 && last != '\n') {
            text += '\n';
        }
    }
    text += line;
    text += '\n';
    // One write puts the whole line in place; a write that stops short means a full disk.
    DWORD written = 0;
    if (!::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        error =
            "The record could not be written to " + m_path + ": " + Reason(::GetLastError()) + ".";
        return false;
    }
    if (written != text.size()) {
        error =
            "The record could not be written to " + m_path + ": " + Reason(ERROR_DISK_FULL) + ".";
        return false;
    }
    if (!::FlushFileBuffers(file)) {
        error =
            "The record could not be saved to " + m_path + ": " + Reason(::GetLastError()) + ".";
        return false;
    }
    return true;
}

void RecordFile::Close() {
    if (m_file != nullptr) {
        if (m_locked) {
            // At once: a lock left to the closing handle goes only when the system gets to it.
            OVERLAPPED whole = At(0);
            ::UnlockFileEx(AsHandle(m_file), 0, MAXDWORD, MAXDWORD, &whole);
        }
        ::CloseHandle(AsHandle(m_file));
        m_file = nullptr;
    }
    m_locked = false;
}

}  // namespace varnel::cli
