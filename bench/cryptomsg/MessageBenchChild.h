#pragma once

namespace ordalis::bench {

// Our side of one benchmark step, run in a process of its own so that its time
// and memory compare with the openssl command line's:
//   sign CERT.pem KEY.pem HASH-OID FILE OUT      detached signature
//   verify FILE SIGNATURE
//   encrypt CERT.pem KEY-OID FILE OUT
//   decrypt FILE OUT                             with the personal store of XDG_DATA_HOME
// Returns the process's exit status.
int RunMessageStep(int argc, char** argv);

} // namespace ordalis::bench
