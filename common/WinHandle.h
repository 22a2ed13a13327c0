// RAII for Win32 handles: one small template with a validity policy and one-line aliases,
// the device-context pair that needs its window to be released, a selection that puts the
// previous object back, a COM pointer and the COM apartment of the thread. Windows only.
#pragma once

#include <windows.h>
// CoInitialize and friends; WIN32_LEAN_AND_MEAN keeps them out of windows.h.
#include <objbase.h>
// ITEMIDLIST, without the rest of the shell.
#include <shtypes.h>

#include <utility>

// Validity policies: which value of a handle type means "nothing held".
template <typename T>
struct TNullIsEmpty {
    static T Empty() { return T(); }
};
// Files and find handles, whose failure value is INVALID_HANDLE_VALUE (a null HANDLE is a
// valid handle value for them in principle).
struct TInvalidIsEmpty {
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
};

// Owns a value of type T and releases it with Close unless it is the policy's empty value.
template <typename T, auto Close, typename Policy = TNullIsEmpty<T>>
class TUniqueAny {
public:
    TUniqueAny() = default;
    explicit TUniqueAny(T value) : Value(value) {}
    ~TUniqueAny() { Reset(); }
    TUniqueAny(TUniqueAny&& other) noexcept : Value(other.Release()) {}
    TUniqueAny& operator=(TUniqueAny&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    TUniqueAny(const TUniqueAny&) = delete;
    TUniqueAny& operator=(const TUniqueAny&) = delete;

    T Get() const { return Value; }
    explicit operator bool() const { return Value != Policy::Empty(); }
    // For out-parameters: releases the current value and returns its address.
    T* Put() {
        Reset();
        return &Value;
    }
    T Release() { return std::exchange(Value, Policy::Empty()); }
    // The old value is let go before it is closed, so that code the closing calls back (a
    // window's WM_NCDESTROY) already sees this empty.
    void Reset(T value = Policy::Empty()) {
        const T old = std::exchange(Value, value);
        if (old != Policy::Empty())
            Close(old);
    }

private:
    T Value = Policy::Empty();
};

namespace WinHandleDetail {
inline void CloseHandle(HANDLE h) { ::CloseHandle(h); }
inline void FindClose(HANDLE h) { ::FindClose(h); }
inline void RegCloseKey(HKEY k) { ::RegCloseKey(k); }
inline void FreeLibrary(HMODULE m) { ::FreeLibrary(m); }
inline void DeleteObject(HGDIOBJ o) { ::DeleteObject(o); }
inline void DeleteDC(HDC dc) { ::DeleteDC(dc); }
inline void DestroyWindow(HWND w) { ::DestroyWindow(w); }
inline void FreeItemList(LPITEMIDLIST list) { ::CoTaskMemFree(list); }
inline void UnmapViewOfFile(void* view) {
    ::UnmapViewOfFile(view);
}
inline void LocalFree(void* memory) {
    ::LocalFree(memory);
}
inline void UnhookWindowsHookEx(HHOOK hook) {
    ::UnhookWindowsHookEx(hook);
}
} // namespace WinHandleDetail

using UniqueHandle = TUniqueAny<HANDLE, WinHandleDetail::CloseHandle>; // NULL = empty
using UniqueFile = TUniqueAny<HANDLE, WinHandleDetail::CloseHandle, TInvalidIsEmpty>;
using UniqueFind = TUniqueAny<HANDLE, WinHandleDetail::FindClose, TInvalidIsEmpty>;
using UniqueHKey = TUniqueAny<HKEY, WinHandleDetail::RegCloseKey>;
using UniqueModule = TUniqueAny<HMODULE, WinHandleDetail::FreeLibrary>;
using UniqueGdiObject = TUniqueAny<HGDIOBJ, WinHandleDetail::DeleteObject>;
// A memory device context (CreateCompatibleDC).
using UniqueDc = TUniqueAny<HDC, WinHandleDetail::DeleteDC>;
using UniqueWindow = TUniqueAny<HWND, WinHandleDetail::DestroyWindow>;
// An item list (PIDL) from the shell. Since Windows 2000 the shell allocates item lists with
// the COM task allocator (SHGetMalloc hands out that same allocator), so CoTaskMemFree frees them.
using UniquePidl = TUniqueAny<LPITEMIDLIST, WinHandleDetail::FreeItemList>;
// A view of a file mapping (MapViewOfFile).
using UniqueFileView = TUniqueAny<void*, WinHandleDetail::UnmapViewOfFile>;
// Memory the system allocated for the caller with LocalAlloc (a security descriptor from
// ConvertStringSecurityDescriptorToSecurityDescriptor, a message from FormatMessage).
using UniqueLocal = TUniqueAny<void*, WinHandleDetail::LocalFree>;
using UniqueHook = TUniqueAny<HHOOK, WinHandleDetail::UnhookWindowsHookEx>;

// The device context of a window (of the screen for null) from GetDC; ReleaseDC needs the
// window again, so both are kept.
class TWindowDc {
public:
    explicit TWindowDc(HWND window) : Window(window), Dc(::GetDC(window)) {}
    ~TWindowDc() {
        if (Dc)
            ::ReleaseDC(Window, Dc);
    }
    TWindowDc(const TWindowDc&) = delete;
    TWindowDc& operator=(const TWindowDc&) = delete;
    HDC Get() const { return Dc; }

private:
    HWND Window;
    HDC Dc;
};

// Selects a GDI object (a font, a bitmap) into a device context and puts the previous one
// back on destruction: a device context must not be released or deleted with our object in it.
class TSelectObject {
public:
    TSelectObject(HDC dc, HGDIOBJ object) : Dc(dc), Previous(::SelectObject(dc, object)) {}
    ~TSelectObject() {
        if (Previous)
            ::SelectObject(Dc, Previous);
    }
    TSelectObject(const TSelectObject&) = delete;
    TSelectObject& operator=(const TSelectObject&) = delete;

private:
    HDC Dc;
    HGDIOBJ Previous;
};

// Balances CoInitialize / CoUninitialize for the user-interface thread (single-threaded apartment).
class TComInitializer {
public:
    TComInitializer() : Initialized(SUCCEEDED(::CoInitialize(nullptr))) {}
    ~TComInitializer() {
        if (Initialized)
            ::CoUninitialize();
    }
    TComInitializer(const TComInitializer&) = delete;
    TComInitializer& operator=(const TComInitializer&) = delete;

private:
    bool Initialized;
};

// A COM interface pointer that releases what it holds.
template <typename I>
class TComPtr {
public:
    TComPtr() = default;
    ~TComPtr() { Reset(); }
    TComPtr(TComPtr&& o) noexcept : Ptr(std::exchange(o.Ptr, nullptr)) {}
    TComPtr& operator=(TComPtr&& o) noexcept {
        if (this != &o) {
            Reset();
            Ptr = std::exchange(o.Ptr, nullptr);
        }
        return *this;
    }
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;

    I* Get() const { return Ptr; }
    I* operator->() const { return Ptr; }
    explicit operator bool() const { return Ptr != nullptr; }
    I** Put() {
        Reset();
        return &Ptr;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (Ptr)
            std::exchange(Ptr, nullptr)->Release();
    }

private:
    I* Ptr = nullptr;
};
