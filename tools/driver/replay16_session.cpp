// The 16-bit replayer's process and the pipes to it.
#include "replay16_session.h"

#include <string.h>

#include "format_text.h"

namespace {

// How long a replayer that closed its output may take to end, for its exit
// status in the message (a fault under qemu ends it within about 10 s).
const DWORD kExitWait = 15000;

void Stop(Replay16Session *session, const std::string &what)
{
    if (!session->stopped.empty()) {
        return;
    }
    DWORD status = STILL_ACTIVE;
    if (session->process != nullptr && WaitForSingleObject(session->process, kExitWait) == WAIT_OBJECT_0) {
        GetExitCodeProcess(session->process, &status);
    }
    session->stopped = "the 16-bit replayer stopped during " + what +
                       (status == STILL_ACTIVE ? std::string(" (it did not answer)")
                                               : FormatText(" (its process ended with status 0x%08lx)",
                                                            (unsigned long)status));
}

bool WriteAll(HANDLE to, const void *bytes, size_t size)
{
    const char *from = static_cast<const char *>(bytes);
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = size > (1u << 20) ? (1u << 20) : (DWORD)size;
        if (!WriteFile(to, from, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        from += written;
        size -= written;
    }
    return true;
}

bool ReadAll(HANDLE from, void *bytes, size_t size)
{
    char *to = static_cast<char *>(bytes);
    while (size > 0) {
        DWORD got = 0;
        const DWORD chunk = size > (1u << 20) ? (1u << 20) : (DWORD)size;
        if (!ReadFile(from, to, chunk, &got, nullptr) || got == 0) {
            return false;
        }
        to += got;
        size -= got;
    }
    return true;
}

// A pipe whose one end the child inherits.
bool MakePipe(HANDLE *read, HANDLE *write, bool childReads)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(read, write, &inherit, 1 << 16)) {
        return false;
    }
    return SetHandleInformation(childReads ? *write : *read, HANDLE_FLAG_INHERIT, 0) != 0;
}

bool Launch(const std::string &program, Replay16Session *session, std::string *error)
{
    HANDLE childInput = nullptr, childOutput = nullptr;
    if (!MakePipe(&childInput, &session->input, true) || !MakePipe(&session->output, &childOutput, false)) {
        *error = FormatText("cannot make the pipes to the 16-bit replayer (error %lu)", (unsigned long)GetLastError());
        return false;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOutput;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started = {};
    std::string commandLine = "\"" + program + "\"";
    const BOOL made = CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                     &startup, &started);
    const DWORD reason = GetLastError();
    CloseHandle(childInput);
    CloseHandle(childOutput);
    if (!made) {
        *error = FormatText("cannot start the 16-bit replayer %s (error %lu)", program.c_str(), (unsigned long)reason);
        return false;
    }
    CloseHandle(started.hThread);
    session->process = started.hProcess;
    return true;
}

} // namespace

bool ReserveArena16(Replay16Session *session, uint32_t size, const std::string &what)
{
    Request16 request = {};
    request.kind = REQUEST_ARENA;
    request.outBytes = size;
    int32_t base = 0;
    std::vector<uint8_t> none;
    request.outBytes = size;
    // the answer to an arena request is the base alone: no arena bytes follow
    if (!WriteAll(session->input, &request, sizeof request) || !ReadAll(session->output, &base, sizeof base)) {
        Stop(session, what);
        return false;
    }
    if (base == 0) {
        session->stopped = FormatText("the 16-bit replayer cannot allocate %lu bytes of global memory for %s",
                                      (unsigned long)size, what.c_str());
        return false;
    }
    session->arenaBase = (uint32_t)base;
    session->arenaSize = size;
    return true;
}

bool Exchange16(Replay16Session *session, const Request16 &request, const std::vector<uint8_t> &image,
                int32_t *result, std::vector<uint8_t> *answer, const std::string &what)
{
    answer->assign(request.outBytes, 0);
    if (!WriteAll(session->input, &request, sizeof request) || !WriteAll(session->input, image.data(), request.inBytes) ||
        !ReadAll(session->output, result, sizeof *result) || !ReadAll(session->output, answer->data(), answer->size())) {
        Stop(session, what);
        return false;
    }
    return true;
}

bool StartReplay16(const std::string &program, const std::string &dllPath, Replay16Session *session,
                   std::string *error)
{
    if (!Launch(program, session, error)) {
        return false;
    }
    std::vector<uint8_t> path(dllPath.begin(), dllPath.end());
    path.push_back(0);
    Request16 request = {};
    request.kind = REQUEST_LOAD;
    request.inBytes = (uint32_t)path.size();
    int32_t status = 0;
    std::vector<uint8_t> none;
    if (!ReserveArena16(session, 1 << 16, "its start") || !Exchange16(session, request, path, &status, &none, "the load")) {
        *error = session->stopped;
        return false;
    }
    if (status != 0) {
        *error = status == (int32_t)kLoadNoModule      ? "the 16-bit replayer cannot load " + dllPath
                 : status == (int32_t)kLoadNoGdiComment ? std::string("the 16-bit replayer finds no GDI32 GdiComment")
                                                        : FormatText("the 16-bit replayer finds no export at ordinal %ld in %s",
                                                                     (long)status, dllPath.c_str());
        return false;
    }
    return true;
}

void StopReplay16(Replay16Session *session)
{
    if (session->input != nullptr && session->stopped.empty()) {
        Request16 request = {};
        request.kind = REQUEST_QUIT;
        WriteAll(session->input, &request, sizeof request);
    }
    for (HANDLE *handle : {&session->input, &session->output, &session->process}) {
        if (*handle != nullptr) {
            if (handle == &session->process) {
                WaitForSingleObject(*handle, kExitWait);
            }
            CloseHandle(*handle);
            *handle = nullptr;
        }
    }
}
