// Owners that close a stream or a descriptor on every path out.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <memory>

struct TZAVFileCloser
{
    void operator()(FILE* file) const { std::fclose(file); }
};
using TZAVFileHandle = std::unique_ptr<FILE, TZAVFileCloser>;

class TZAVFileDescriptor
{
public:
    TZAVFileDescriptor() = default;
    explicit TZAVFileDescriptor(int descriptor) : Descriptor(descriptor) {}
    ~TZAVFileDescriptor() { Reset(); }
    TZAVFileDescriptor(TZAVFileDescriptor&& other) noexcept : Descriptor(other.Release()) {}
    TZAVFileDescriptor& operator=(TZAVFileDescriptor&& other) noexcept
    {
        if (this != &other) {
            Reset();
            Descriptor = other.Release();
        }
        return *this;
    }

    int Get() const { return Descriptor; }
    bool IsOpen() const { return Descriptor >= 0; }
    int Release()
    {
        const int descriptor = Descriptor;
        Descriptor = -1;
        return descriptor;
    }
    void Reset()
    {
        if (Descriptor >= 0)
            close(Descriptor);
        Descriptor = -1;
    }

private:
    int Descriptor = -1;
};
