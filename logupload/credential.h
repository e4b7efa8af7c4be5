// Unwrapping of the upload credentials that the system carries enciphered, as upper-case
// hexadecimal text of AES-128 ciphertext under the deployment's credential key.
#pragma once

#include <string>

// The bytes written by a hexadecimal text, in a buffer of length / 2 + 1 bytes from malloc
// (the caller frees it) whose last byte is zero. Null for a text of odd length, or when the
// buffer cannot be allocated. Characters other than hexadecimal digits are not rejected:
// each digit's value is ((c rem 32) + 9) rem 25 of the signed character, which is right for
// 0-9, A-F and a-f, and each byte is taken modulo 256.
unsigned char* HexToBytes(const char* text);

// The text enciphered in bytes, a zero-terminated ciphertext, deciphered under the
// credential key. The ciphertext before its first zero byte is deciphered together with one
// further block of zero fill, and the result runs to the first zero byte of the plaintext,
// so a plaintext padded with zeros inside its last block comes back exactly. Empty when a
// work buffer cannot be allocated. The caller keeps ownership of bytes.
std::string DecryptCredential(const unsigned char* bytes);
