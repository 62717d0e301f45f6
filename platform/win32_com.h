// COM for the Windows Imaging Component users of the platform layer.
#pragma once

// Releases a COM interface at the end of a scope.
template <typename T>
struct Released {
    T* p = nullptr;
    ~Released() {
        if (p != nullptr) p->Release();
    }
};
