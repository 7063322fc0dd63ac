// Speed of our cipher and hash kernels against reference libraries:
//   MD5 of a 1 MiB buffer             vs OpenSSL (EVP, MD5)
//   MARS, one block encrypted in place (128-bit key)   vs Crypto++
//   MARS key setup (128-bit key)      vs Crypto++
//   Serpent, one block encrypted in place (256-bit key) vs Crypto++
//   MARS, one block decrypted in place (128-bit key)   vs Crypto++
// After the benchmarks a summary prints ours/reference speed ratios (1.00 =
// as fast as the reference; the targets are 1.05 for MD5 and 1.0 for every
// cipher figure). For the ratio as median and range of interleaved pairs:
//   perf/pairs.py build-perf/perf/perf_crypto 9
#include <benchmark/benchmark.h>
#include <cryptopp/mars.h>
#include <cryptopp/serpent.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/cpu/mars.h"
#include "util/md5.h"
#include "bench/cpu/serpent.h"

namespace {

constexpr size_t kMd5Buffer = 1048576;

// ------------------------------------------------------------------ MD5

void BM_Md5_Ours(benchmark::State& state) {
  std::vector<uint8_t> buf(kMd5Buffer, 0);
  uint8_t digest[16];
  for (auto _ : state) {
    kr::Md5State s;
    kr::Md5Init(s);
    kr::Md5Append(s, buf.data(), buf.size());
    kr::Md5Finish(s, digest);
    benchmark::DoNotOptimize(digest);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kMd5Buffer));
}
BENCHMARK(BM_Md5_Ours);

void BM_Md5_Reference(benchmark::State& state) {
  std::vector<uint8_t> buf(kMd5Buffer, 0);
  unsigned char digest[16];
  unsigned int len = 0;
  const EVP_MD* md5 = EVP_md5();
  for (auto _ : state) {
    EVP_Digest(buf.data(), buf.size(), digest, &len, md5, nullptr);
    benchmark::DoNotOptimize(digest);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kMd5Buffer));
}
BENCHMARK(BM_Md5_Reference);

// ----------------------------------------------------------------- MARS

const uint8_t kKey32[32] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0xfe, 0xdc, 0xba,
                            0x98, 0x76, 0x54, 0x32, 0x10, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55,
                            0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};

void BM_MarsEncrypt_Ours(benchmark::State& state) {
  uint32_t key[4];
  std::memcpy(key, kKey32, 16);
  uint32_t k[kr::kMarsExpandedWords];
  kr::MarsSetKey(key, 4, k);
  uint32_t block[4] = {0, 1, 2, 3};
  for (auto _ : state) {
    kr::MarsEncrypt(block, block, k);
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 16);
}
BENCHMARK(BM_MarsEncrypt_Ours);

void BM_MarsEncrypt_Reference(benchmark::State& state) {
  CryptoPP::MARS::Encryption enc(kKey32, 16);
  alignas(16) uint8_t block[16] = {};
  for (auto _ : state) {
    enc.ProcessBlock(block);
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 16);
}
BENCHMARK(BM_MarsEncrypt_Reference);

void BM_MarsDecrypt_Ours(benchmark::State& state) {
  uint32_t key[4];
  std::memcpy(key, kKey32, 16);
  uint32_t k[kr::kMarsExpandedWords];
  kr::MarsSetKey(key, 4, k);
  uint32_t block[4] = {0, 1, 2, 3};
  for (auto _ : state) {
    kr::MarsDecrypt(block, block, k);
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 16);
}
BENCHMARK(BM_MarsDecrypt_Ours);

void BM_MarsDecrypt_Reference(benchmark::State& state) {
  CryptoPP::MARS::Decryption dec(kKey32, 16);
  alignas(16) uint8_t block[16] = {};
  for (auto _ : state) {
    dec.ProcessBlock(block);
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 16);
}
BENCHMARK(BM_MarsDecrypt_Reference);

void BM_MarsSetup_Ours(benchmark::State& state) {
  uint32_t key[4];
  std::memcpy(key, kKey32, 16);
  uint32_t k[kr::kMarsExpandedWords];
  for (auto _ : state) {
    kr::MarsSetKey(key, 4, k);
    benchmark::DoNotOptimize(k);
    key[0] += 1;
  }
}
BENCHMARK(BM_MarsSetup_Ours);

void BM_MarsSetup_Reference(benchmark::State& state) {
  CryptoPP::MARS::Encryption enc;
  uint8_t key[16];
  std::memcpy(key, kKey32, 16);
  for (auto _ : state) {
    enc.SetKey(key, 16);
    benchmark::DoNotOptimize(enc);
    key[0] += 1;
  }
}
BENCHMARK(BM_MarsSetup_Reference);

// -------------------------------------------------------------- Serpent

// One block processed in place, encrypting or decrypting, with the same
// 256-bit key in both implementations.
template <bool kEncrypt>
void BM_Serpent_Ours(benchmark::State& state) {
  kr::SerpentCipherInstance cipher;
  kr::SerpentKeyInstance key;
  kr::cipherInit(&cipher, kr::SERPENT_MODE_ECB, "");
  kr::makeKey(&key, kr::SERPENT_DIR_ENCRYPT, 256,
              "0123456789abcdeffedcba987654321000112233445566778899aabbccddeeff");
  uint32_t block[4] = {0, 1, 2, 3};
  for (auto _ : state) {
    if constexpr (kEncrypt)
      kr::blockEncrypt(&cipher, &key, block, 128, block);
    else
      kr::blockDecrypt(&cipher, &key, block, 128, block);
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 16);
}

template <typename Direction>
void BM_Serpent_Reference(benchmark::State& state) {
  Direction cipher(kKey32, 32);
  alignas(16) uint8_t block[16] = {};
  for (auto _ : state) {
    cipher.ProcessBlock(block);
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 16);
}

BENCHMARK(BM_Serpent_Ours<true>)->Name("BM_SerpentEncrypt_Ours");
BENCHMARK(BM_Serpent_Reference<CryptoPP::Serpent::Encryption>)->Name("BM_SerpentEncrypt_Reference");
BENCHMARK(BM_Serpent_Ours<false>)->Name("BM_SerpentDecrypt_Ours");
BENCHMARK(BM_Serpent_Reference<CryptoPP::Serpent::Decryption>)->Name("BM_SerpentDecrypt_Reference");

// Console output as usual, and the time per iteration of every run kept for
// the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> time;  // benchmark name -> CPU ns per iteration
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        time[r.benchmark_name()] = r.GetAdjustedCPUTime();
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  struct Pair {
    const char* what;
    const char* ours;
    const char* reference;
    double target;
  };
  const Pair pairs[] = {
      {"MD5, 1 MiB vs OpenSSL", "BM_Md5_Ours", "BM_Md5_Reference", 1.05},
      {"MARS encrypt, 128-bit key vs Crypto++", "BM_MarsEncrypt_Ours", "BM_MarsEncrypt_Reference", 1.0},
      {"MARS decrypt, 128-bit key vs Crypto++", "BM_MarsDecrypt_Ours", "BM_MarsDecrypt_Reference", 1.0},
      {"MARS key setup, 128-bit key vs Crypto++", "BM_MarsSetup_Ours", "BM_MarsSetup_Reference", 1.0},
      {"Serpent encrypt, 256-bit key vs Crypto++", "BM_SerpentEncrypt_Ours", "BM_SerpentEncrypt_Reference", 1.0},
      {"Serpent decrypt, 256-bit key vs Crypto++", "BM_SerpentDecrypt_Ours", "BM_SerpentDecrypt_Reference", 1.0},
  };
  std::printf("\nSpeed ratio ours/reference (target):\n");
  for (const Pair& p : pairs) {
    auto o = reporter.time.find(p.ours), r = reporter.time.find(p.reference);
    if (o == reporter.time.end() || r == reporter.time.end() || o->second <= 0.0) continue;
    const double ratio = r->second / o->second;
    std::printf("  %-44s %5.2f  (%.2f) %s\n", p.what, ratio, p.target, ratio >= p.target ? "ok" : "BELOW");
  }
  return 0;
}
