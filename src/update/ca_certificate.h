#pragma once

#include <cstdint>

namespace update {

// The certificate authority (DER) compiled into the executable: every
// installer package must be signed by a certificate that chains up to it.
// Which authority is chosen at build time (NIMBRA_CA_CERTIFICATE); by default
// the development authority of resources/development-ca.
extern const unsigned char kCaCertificate[];
extern const std::uint32_t kCaCertificateLength;

}  // namespace update
