#pragma once

// Reading a PEM file the tests' servers were given.

#include "cryptomsg/cryptoapi/Ossl.h"

#include <openssl/pem.h>

#include <stdexcept>
#include <string>

namespace ordalis::test {

// The object in the PEM file at path, read by Read (PEM_read_bio_X509, ...);
// the caller owns it. Throws when the file cannot be read.
template <class T, T* (*Read)(BIO*, T**, pem_password_cb*, void*)>
T* ReadPem(const std::string& path)
{
    BioPtr file(BIO_new_file(path.c_str(), "r"));
    T* read = file ? Read(file.get(), nullptr, nullptr, nullptr) : nullptr;
    if (!read)
        throw std::runtime_error("cannot read " + path);
    return read;
}

} // namespace ordalis::test
