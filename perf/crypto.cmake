# Our MD5, MARS and Serpent against OpenSSL's MD5 and Crypto++'s MARS and
# Serpent. The reference libraries are linked into this program only.
find_package(OpenSSL REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(CRYPTOPP REQUIRED IMPORTED_TARGET libcrypto++)
kr_perf(perf_crypto ${CMAKE_CURRENT_LIST_DIR}/crypto_bench.cpp)
target_link_libraries(perf_crypto PRIVATE OpenSSL::Crypto PkgConfig::CRYPTOPP)
