// The 16-bit replayer's process and the pipes to it.
#include "replay16_session.h"

#include <string.h>

#include <algorithm>

#include "format_text.h"

namespace {

// How long a replayer that closed its output may take to end, for its exit
// status in the message (a fault under qemu ends it within about 10 s).
const DWORD kExitWait = 15000;
// How long a call may go unanswered before the replayer counts as hung (the
// slowest seen, a 220 KiB bitmap on a busy machine, takes well under 1 s).
const DWORD kAnswerLimit = 120000;

DWORD WINAPI Watchdog(void *context)
{
    Replay16Session *session = static_cast<Replay16Session *>(context);
    const HANDLE ends[] = {session->quit, session->process};
    while (WaitForMultipleObjects(2, ends, FALSE, 1000) == WAIT_TIMEOUT) {
        const DWORD since = (DWORD)InterlockedCompareExchange(&session->waitingSince, 0, 0);
        if (since != 0 && GetTickCount() - since > kAnswerLimit) {
            InterlockedExchange(&session->timedOut, 1);
            TerminateProcess(session->process, WAIT_TIMEOUT);
            break;
        }
    }
    return 0;
}

// The first line of what the replayer wrote instead of an answer (Wine's
// report of a fault in the DLL, say), once its process has ended.
std::string Instead(Replay16Session *session, const std::string &head)
{
    std::string text = head;
    char more[4096];
    DWORD available = 0, got = 0;
    if (PeekNamedPipe(session->output, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
        ReadFile(session->output, more, std::min<DWORD>(available, sizeof more), &got, nullptr)) {
        text.append(more, got);
    }
    text = text.substr(0, text.find_first_of("\r\n"));
    for (char &c : text) {
        c = (c >= ' ' && c < 127) ? c : '?';
    }
    return text;
}

// Why the replayer did not answer: the end of its output, or other text.
void Stop(Replay16Session *session, const std::string &what, const std::string &head = "")
{
    if (!session->stopped.empty()) {
        return;
    }
    DWORD status = STILL_ACTIVE;
    if (session->process != nullptr && WaitForSingleObject(session->process, kExitWait) == WAIT_OBJECT_0) {
        GetExitCodeProcess(session->process, &status);
    }
    const std::string instead = head.empty() ? std::string() : Instead(session, head);
    session->stopped = "the 16-bit replayer stopped during " + what +
                       (instead.empty() ? std::string() : ": it wrote \"" + instead + "\"") +
                       (session->timedOut ? FormatText(": it answered nothing for %lu s and was ended",
                                                       (unsigned long)(kAnswerLimit / 1000))
                                          : std::string()) +
                       (status == STILL_ACTIVE ? std::string(" (and did not end)")
                                               : FormatText(" (its process ended with status 0x%08lx)",
                                                            (unsigned long)status));
}

// Moves size bytes through a pipe, in as many pieces as it takes.
bool MoveAll(HANDLE pipe, void *bytes, size_t size, bool write)
{
    char *at = static_cast<char *>(bytes);
    while (size > 0) {
        DWORD moved = 0;
        const DWORD chunk = size > (1u << 20) ? (1u << 20) : (DWORD)size;
        const BOOL done = write ? WriteFile(pipe, at, chunk, &moved, nullptr) : ReadFile(pipe, at, chunk, &moved, nullptr);
        if (!done || moved == 0) {
            return false;
        }
        at += moved;
        size -= moved;
    }
    return true;
}

bool WriteAll(HANDLE to, const void *bytes, size_t size)
{
    return MoveAll(to, const_cast<void *>(bytes), size, true);
}

bool ReadAll(HANDLE from, void *bytes, size_t size)
{
    return MoveAll(from, bytes, size, false);
}

// An answer: its magic and result, then the arena's bytes after them up to
// size (a call's answer starts the arena); false, with the replayer stopped,
// when the output ends or holds something else.
bool ReadAnswer(Replay16Session *session, int32_t *result, std::vector<uint8_t> *bytes, uint32_t size,
                const std::string &what)
{
    bytes->assign(std::max<uint32_t>(size, sizeof(Answer16)), 0);
    // what the pipe holds first: the whole answer, written at once, or the
    // start of other text, which must not be waited for past its end
    DWORD got = 0;
    InterlockedExchange(&session->waitingSince, (LONG)(GetTickCount() | 1));
    const bool answered = ReadFile(session->output, bytes->data(), (DWORD)bytes->size(), &got, nullptr) && got > 0 &&
                          (got >= sizeof(Answer16) ||
                           ReadAll(session->output, bytes->data() + got, sizeof(Answer16) - got));
    InterlockedExchange(&session->waitingSince, 0);
    if (!answered) {
        Stop(session, what);
        return false;
    }
    got = std::max<DWORD>(got, sizeof(Answer16));
    Answer16 head = {};
    memcpy(&head, bytes->data(), sizeof head);
    if (head.magic != kAnswer16Magic) {
        Stop(session, what, std::string(reinterpret_cast<const char *>(&head), sizeof head));
        return false;
    }
    *result = head.result;
    if (!ReadAll(session->output, bytes->data() + got, bytes->size() - got)) {
        Stop(session, what);
        return false;
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
    session->quit = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    session->watchdog =
        session->quit != nullptr ? CreateThread(nullptr, 0, Watchdog, session, 0, nullptr) : nullptr;
    return true;
}

} // namespace

bool ReserveArena16(Replay16Session *session, uint32_t size, const std::string &what)
{
    Request16 request = {};
    request.kind = REQUEST_ARENA;
    request.args[0] = size;
    int32_t base = 0;
    std::vector<uint8_t> none;
    // the answer to an arena request is the base alone: no arena bytes follow
    if (!Exchange16(session, request, std::vector<uint8_t>(sizeof request), &base, &none, what)) {
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

bool Exchange16(Replay16Session *session, Request16 request, std::vector<uint8_t> image, int32_t *result,
                std::vector<uint8_t> *answer, const std::string &what)
{
    // one write, so that the replayer wakes once
    request.inBytes = (uint32_t)image.size();
    memcpy(image.data(), &request, sizeof request);
    if (!WriteAll(session->input, image.data(), image.size())) {
        Stop(session, what);
        return false;
    }
    return ReadAnswer(session, result, answer, request.outBytes, what);
}

bool StartReplay16(const std::string &program, const std::string &dllPath, Replay16Session *session,
                   std::string *error)
{
    if (!Launch(program, session, error)) {
        return false;
    }
    std::vector<uint8_t> image(kArenaPieces, 0);
    image.insert(image.end(), dllPath.begin(), dllPath.end());
    image.push_back(0);
    Request16 request = {};
    request.kind = REQUEST_LOAD;
    request.args[0] = kArenaPieces;
    int32_t base = 0, status = 0;
    std::vector<uint8_t> none;
    if (!ReadAnswer(session, &base, &none, 0, "its start")) {
        *error = session->stopped;
        return false;
    }
    if (base == 0) {
        *error = "the 16-bit replayer has no global memory for its first arena";
        return false;
    }
    if (!Exchange16(session, request, image, &status, &none, "the load")) {
        *error = session->stopped;
        return false;
    }
    session->arenaBase = (uint32_t)base;
    session->arenaSize = kFirstArena;
    if (status != 0) {
        *error = status == (int32_t)kLoadNoModule      ? "the 16-bit replayer cannot load " + dllPath
                 : status == (int32_t)kLoadNoGdiComment ? std::string("the 16-bit replayer finds no GDI32 GdiComment")
                                                        : FormatText("the 16-bit replayer finds no export at ordinal %ld in %s",
                                                                     (long)status, dllPath.c_str());
        return false;
    }
    return true;
}

bool StopReplay16(Replay16Session *session)
{
    bool unloaded = true;
    if (session->input != nullptr && session->stopped.empty()) {
        Request16 request = {};
        request.kind = REQUEST_QUIT;
        int32_t freed = 0;
        std::vector<uint8_t> none;
        unloaded = Exchange16(session, request, std::vector<uint8_t>(sizeof request), &freed, &none,
                              "the DLL's unloading");
    }
    if (session->watchdog != nullptr) {
        SetEvent(session->quit);
        WaitForSingleObject(session->watchdog, INFINITE);
    }
    // The DLL is unloaded by now: the replayer's own end (winevdm's teardown)
    // need not be waited for.
    for (HANDLE *handle : {&session->input, &session->output, &session->process, &session->watchdog, &session->quit}) {
        if (*handle != nullptr) {
            CloseHandle(*handle);
            *handle = nullptr;
        }
    }
    return unloaded;
}
