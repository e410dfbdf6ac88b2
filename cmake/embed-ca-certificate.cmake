# Writes a C++ source that holds the DER bytes of the certificate authority the
# service trusts for installer packages.
#   embed_ca_certificate(<der file> <output .cpp>)
function(embed_ca_certificate der output)
  if(NOT EXISTS "${der}")
    message(FATAL_ERROR "NIMBRA_CA_CERTIFICATE: ${der} does not exist")
  endif()
  file(READ "${der}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR length "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
  file(WRITE "${output}.new"
"// Generated from ${der} by cmake/embed-ca-certificate.cmake: the certificate
// authority installer packages must chain up to.
#include \"update/ca_certificate.h\"

namespace update {

const unsigned char kCaCertificate[] = {
    ${bytes}
};
const std::uint32_t kCaCertificateLength = ${length};

}  // namespace update
")
  file(COPY_FILE "${output}.new" "${output}" ONLY_IF_DIFFERENT)
  file(REMOVE "${output}.new")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${der}")
endfunction()
