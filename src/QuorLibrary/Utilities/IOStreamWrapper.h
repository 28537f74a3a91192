#pragma once

// One object through which a state snapshot is either saved or restored, so
// that a single ReadOrWrite routine per class serves both directions and the
// field order can never drift apart. The templates of Serialization.h ask
// IsReading and move raw bytes on the internal stream.

#include <istream>
#include <ostream>

#include "QuorLibrary/Utilities/FatalError.h"

class IOStreamWrapper {
public:
    virtual ~IOStreamWrapper() {}

    // Reads size bytes into data, or writes size bytes from data, by direction.
    virtual void ReadOrWrite(char* data, int size) = 0;
    virtual void Read(char* /*data*/, int /*size*/) {
        NotImplemented("Read", "QuorLibrary/Utilities/IOStreamWrapper", __LINE__);
    }
    virtual void Write(const char* /*data*/, int /*size*/) {
        NotImplemented("Write", "QuorLibrary/Utilities/IOStreamWrapper", __LINE__);
    }
    virtual bool IsReading() const { return false; }
    virtual bool IsWriting() const { return false; }
    virtual std::istream& GetInternalIStream() {
        NotImplemented("GetInternalIStream", "QuorLibrary/Utilities/IOStreamWrapper", __LINE__);
    }
    virtual std::ostream& GetInternalOStream() {
        NotImplemented("GetInternalOStream", "QuorLibrary/Utilities/IOStreamWrapper", __LINE__);
    }
    // Deletes an owned stream and forgets the stream.
    virtual void ClearStream() {}
};

// The restoring side. The destructor releases nothing: an owned stream is
// deleted only by ClearStream.
class IStreamWrapper : public IOStreamWrapper {
public:
    // Over a caller's stream, which stays the caller's.
    explicit IStreamWrapper(std::istream& stream) : m_pStream(&stream), m_bOwnsStream(false) {}
    IStreamWrapper(std::istream* pStream, bool ownsStream) : m_pStream(pStream), m_bOwnsStream(ownsStream) {}

    void ReadOrWrite(char* data, int size) override { Stream().read(data, size); }
    void Read(char* data, int size) override { Stream().read(data, size); }
    bool IsReading() const override { return true; }
    std::istream& GetInternalIStream() override { return Stream(); }
    void ClearStream() override {
        if (m_bOwnsStream && m_pStream != nullptr) {
            delete m_pStream;
        }
        m_pStream = nullptr;
    }

private:
    std::istream& Stream() {
        if (m_pStream == nullptr) {
            VELA_FATAL_ERROR("IStreamWrapper used after ClearStream");
        }
        return *m_pStream;
    }

    std::istream* m_pStream;
    bool m_bOwnsStream;
};

// The saving side, the mirror image of IStreamWrapper.
class OStreamWrapper : public IOStreamWrapper {
public:
    explicit OStreamWrapper(std::ostream& stream) : m_pStream(&stream), m_bOwnsStream(false) {}
    OStreamWrapper(std::ostream* pStream, bool ownsStream) : m_pStream(pStream), m_bOwnsStream(ownsStream) {}

    void ReadOrWrite(char* data, int size) override { Stream().write(data, size); }
    void Write(const char* data, int size) override { Stream().write(data, size); }
    bool IsWriting() const override { return true; }
    std::ostream& GetInternalOStream() override { return Stream(); }
    void ClearStream() override {
        if (m_bOwnsStream && m_pStream != nullptr) {
            delete m_pStream;
        }
        m_pStream = nullptr;
    }

private:
    std::ostream& Stream() {
        if (m_pStream == nullptr) {
            VELA_FATAL_ERROR("OStreamWrapper used after ClearStream");
        }
        return *m_pStream;
    }

    std::ostream* m_pStream;
    bool m_bOwnsStream;
};
