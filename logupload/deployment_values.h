// The deployment's credential key and its two enciphered upload credentials. The build
// writes them from its settings TX_CREDENTIAL_KEY_HEX, TX_ACCESS_KEY_CIPHER_HEX and
// TX_SECRET_KEY_CIPHER_HEX (see logupload/CMakeLists.txt); tools/txseal makes the values.
#pragma once

extern const unsigned char g_abCredentialKey[16];
// Upper-case hexadecimal AES-128 ciphertext: 64 digits (2 blocks) and 96 digits (3 blocks).
extern const char g_szAccessKeyIdCipher[65];
extern const char g_szSecretKeyCipher[97];

// The log bucket, in region ap-northeast-2, from the build setting TX_LOG_UPLOAD_BUCKET.
extern const char LOG_UPLOAD_BUCKET[];
