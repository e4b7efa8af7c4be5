// Deciphering throughput of CRijndael::DecipherBuffer beside OpenSSL's AES-128-ECB
// decryption, on the same 64 MiB of ciphertext under the same key.
//
// Run it twice to compare with both of OpenSSL's paths: as is (AES-NI where the processor
// has it), and with OPENSSL_ia32cap="~0x200000200000000", which hides AES-NI and PCLMULQDQ so
// OpenSSL falls back to its software implementation.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "logupload/rijndael.h"

namespace {

constexpr std::size_t kBufferBytes = 64u << 20;

const std::vector<unsigned char>& CipherText() {
  static const std::vector<unsigned char> data = [] {
    std::vector<unsigned char> bytes(kBufferBytes);
    std::mt19937_64 rng(42);
    for (std::size_t i = 0; i < bytes.size(); i += 8) {
      const std::uint64_t word = rng();
      for (std::size_t j = 0; j < 8; ++j) bytes[i + j] = static_cast<unsigned char>(word >> (8 * j));
    }
    return bytes;
  }();
  return data;
}

const unsigned char kKey[16] = {0x2B, 0x7E, 0x15, 0x16, 0x28, 0xAE, 0xD2, 0xA6,
                                0xAB, 0xF7, 0x15, 0x88, 0x09, 0xCF, 0x4F, 0x3C};

void BM_CRijndaelDecipherBuffer(benchmark::State& state) {
  const auto& in = CipherText();
  std::vector<unsigned char> out(in.size());
  CRijndael cipher;
  cipher.PrepareKey(kKey, 16, 16);
  for (auto _ : state) {
    cipher.DecipherBuffer(in.data(), out.data(), in.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
}

struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

void BM_OpensslAes128EcbDecrypt(benchmark::State& state) {
  const auto& in = CipherText();
  std::vector<unsigned char> out(in.size());
  std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> context(EVP_CIPHER_CTX_new());
  if (!context || EVP_DecryptInit_ex(context.get(), EVP_aes_128_ecb(), nullptr, kKey, nullptr) != 1 ||
      EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1) {
    state.SkipWithError("OpenSSL set-up failed");
    return;
  }
  for (auto _ : state) {
    int written = 0;
    if (EVP_DecryptUpdate(context.get(), out.data(), &written, in.data(), static_cast<int>(in.size())) != 1 ||
        static_cast<std::size_t>(written) != in.size()) {
      state.SkipWithError("OpenSSL decryption failed");
      return;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
}

BENCHMARK(BM_CRijndaelDecipherBuffer)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpensslAes128EcbDecrypt)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
