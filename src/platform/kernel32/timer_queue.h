// Timer queues: callbacks run once (or periodically) after a delay, on a thread of the queue.
//
// Each queue has one thread of its own that runs its timers' callbacks one after another (a
// callback that runs long delays the queue's other timers). A null queue is the process's
// default queue, which is never deleted. Queue and timer handles are keys of the kernel handle
// table; they are released by the Delete calls, not by CloseHandle.
#pragma once

#include "types.h"

using WAITORTIMERCALLBACK = void(CALLBACK*)(PVOID parameter, BOOLEAN timerOrWaitFired);

constexpr ULONG WT_EXECUTEDEFAULT = 0x00000000;
constexpr ULONG WT_EXECUTEINIOTHREAD = 0x00000001;
constexpr ULONG WT_EXECUTEINWAITTHREAD = 0x00000004;
constexpr ULONG WT_EXECUTEONLYONCE = 0x00000008;
constexpr ULONG WT_EXECUTELONGFUNCTION = 0x00000010;
constexpr ULONG WT_EXECUTEINTIMERTHREAD = 0x00000020;
constexpr ULONG WT_EXECUTEINPERSISTENTTHREAD = 0x00000080;
constexpr ULONG WT_TRANSFER_IMPERSONATION = 0x00000100;

HANDLE CreateTimerQueue();

// Arms a timer that calls callback(parameter, TRUE) after dueTime milliseconds and then every
// `period` milliseconds (0, or WT_EXECUTEONLYONCE: once). The WT_ thread-choice flags are accepted;
// every callback runs on the queue's thread. Fails with ERROR_INVALID_PARAMETER for a null
// `newTimer` or callback, and ERROR_INVALID_HANDLE for a queue that does not exist or is being
// deleted (so a callback that re-arms while its queue is deleted gets no new timer).
BOOL CreateTimerQueueTimer(PHANDLE newTimer, HANDLE timerQueue, WAITORTIMERCALLBACK callback, PVOID parameter,
                           DWORD dueTime, DWORD period, ULONG flags);

// Cancels the timer and releases its handle. When its callback is running: with completionEvent
// INVALID_HANDLE_VALUE the call waits for the callback to return (except when called from that
// callback, which cannot be waited for); otherwise it returns FALSE with ERROR_IO_PENDING and the
// callback finishes on its own. Event handles as completionEvent are not supported
// (ERROR_INVALID_HANDLE). A timer of another queue: ERROR_INVALID_PARAMETER.
BOOL DeleteTimerQueueTimer(HANDLE timerQueue, HANDLE timer, HANDLE completionEvent);

// Deletes the queue: its pending timers are cancelled and every handle of it is released at once.
// With completionEvent INVALID_HANDLE_VALUE the call waits until a running callback has returned
// (from inside one of the queue's callbacks it does not wait, as that would never end); with null
// it returns at once, FALSE with ERROR_IO_PENDING when a callback is still running.
BOOL DeleteTimerQueueEx(HANDLE timerQueue, HANDLE completionEvent);
// Deletes the queue and waits for a running callback, as DeleteTimerQueueEx with
// INVALID_HANDLE_VALUE, so that nothing the callback uses is torn down under it.
BOOL DeleteTimerQueue(HANDLE timerQueue);
