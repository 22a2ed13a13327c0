// RAII for Win32 handles: one small template and one-line aliases.
// Windows only.
#pragma once

#include <windows.h>
// CoInitialize and friends; WIN32_LEAN_AND_MEAN keeps them out of windows.h.
#include <objbase.h>

#include <utility>

// Owns a value of type T and releases it with Close when it is not Invalid.
template <typename T, auto Close, T Invalid = T()>
class TUniqueAny {
public:
    TUniqueAny() = default;
    explicit TUniqueAny(T value) : Value(value) {}
    ~TUniqueAny() { Reset(); }
    TUniqueAny(TUniqueAny&& other) noexcept : Value(std::exchange(other.Value, Invalid)) {}
    TUniqueAny& operator=(TUniqueAny&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.Value, Invalid));
        return *this;
    }
    TUniqueAny(const TUniqueAny&) = delete;
    TUniqueAny& operator=(const TUniqueAny&) = delete;

    T Get() const { return Value; }
    explicit operator bool() const { return Value != Invalid; }
    // For out-parameters: releases the current value and returns its address.
    T* Put() {
        Reset();
        return &Value;
    }
    T Release() { return std::exchange(Value, Invalid); }
    void Reset(T value = Invalid) {
        if (Value != Invalid)
            Close(Value);
        Value = value;
    }

private:
    T Value = Invalid;
};

namespace WinHandleDetail {
inline void CloseHandle(HANDLE h) { ::CloseHandle(h); }
inline void FindClose(HANDLE h) { ::FindClose(h); }
inline void RegCloseKey(HKEY k) { ::RegCloseKey(k); }
inline void FreeLibrary(HMODULE m) { ::FreeLibrary(m); }
inline void DeleteObject(HGDIOBJ o) { ::DeleteObject(o); }
inline void DestroyWindow(HWND w) { ::DestroyWindow(w); }
} // namespace WinHandleDetail

// INVALID_HANDLE_VALUE is not a constant expression, so file-like handles use this sentinel.
inline const HANDLE InvalidHandleValue = INVALID_HANDLE_VALUE;

using UniqueHandle = TUniqueAny<HANDLE, WinHandleDetail::CloseHandle>;    // NULL = empty
using UniqueHKey = TUniqueAny<HKEY, WinHandleDetail::RegCloseKey>;
using UniqueModule = TUniqueAny<HMODULE, WinHandleDetail::FreeLibrary>;
using UniqueGdiObject = TUniqueAny<HGDIOBJ, WinHandleDetail::DeleteObject>;
using UniqueWindow = TUniqueAny<HWND, WinHandleDetail::DestroyWindow>;

// Handles whose empty value is INVALID_HANDLE_VALUE (files, find handles).
template <auto Close>
class TUniqueInvalidHandle {
public:
    TUniqueInvalidHandle() = default;
    explicit TUniqueInvalidHandle(HANDLE h) : Value(h) {}
    ~TUniqueInvalidHandle() { Reset(); }
    TUniqueInvalidHandle(TUniqueInvalidHandle&& o) noexcept
        : Value(std::exchange(o.Value, INVALID_HANDLE_VALUE)) {}
    TUniqueInvalidHandle& operator=(TUniqueInvalidHandle&& o) noexcept {
        if (this != &o)
            Reset(std::exchange(o.Value, INVALID_HANDLE_VALUE));
        return *this;
    }
    TUniqueInvalidHandle(const TUniqueInvalidHandle&) = delete;
    TUniqueInvalidHandle& operator=(const TUniqueInvalidHandle&) = delete;

    HANDLE Get() const { return Value; }
    explicit operator bool() const { return Value != INVALID_HANDLE_VALUE; }
    HANDLE Release() { return std::exchange(Value, INVALID_HANDLE_VALUE); }
    void Reset(HANDLE h = INVALID_HANDLE_VALUE) {
        if (Value != INVALID_HANDLE_VALUE)
            Close(Value);
        Value = h;
    }

private:
    HANDLE Value = INVALID_HANDLE_VALUE;
};

using UniqueFile = TUniqueInvalidHandle<WinHandleDetail::CloseHandle>;
using UniqueFind = TUniqueInvalidHandle<WinHandleDetail::FindClose>;

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
