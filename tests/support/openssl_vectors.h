// portable: builds without Win32
#pragma once
// Made by openssl once, for checks that our encodings and the platform's
// cryptography agree with it.

namespace nm::openssl_vectors {

// One key made by openssl, in its three forms, and its signature over "abc".
constexpr const char* kPublicKey =
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEUJwXR1Ga+70SIjzKnD49RcOLEGPE0PzhRcM13jZLRlTQY72pQT+"
    "cTUegol3taoSgSXDqxBVgDHk625m4K9lmFg==";
constexpr const char* kPkcs8 =
    "MIGHAgEAMBMGByqGSM49AgEGCCqGSM49AwEHBG0wawIBAQQgitrlj5oIytk/yEC3zKxFA6CPmPv0ygzOWlmLEeFt8AqhRANCAARQnBdHUZr7vRIi"
    "PMqcPj1Fw4sQY8TQ/OFFwzXeNktGVNBjvalBP5xNR6CiXe1qhKBJcOrEFWAMeTrbmbgr2WYW";
constexpr const char* kSec1 =
    "MHcCAQEEIIra5Y+aCMrZP8hAt8ysRQOgj5j79MoMzlpZixHhbfAKoAoGCCqGSM49AwEHoUQDQgAEUJwXR1Ga+70SIjzKnD49RcOLEGPE0PzhRcM1"
    "3jZLRlTQY72pQT+cTUegol3taoSgSXDqxBVgDHk625m4K9lmFg==";
// s has its top bit set, so DER gives it a leading zero byte.
constexpr const char* kSignature =
    "MEUCIBmtp6+qWVI7OWfXaSeRqT1yaus0ovIrX0QWbyJerzf1AiEAiL9jLmURkOSFGxfYC64YIioeHvVpyEETvngk8d1WeTg=";
// A P-384 key: well-formed, but not of our curve.
constexpr const char* kP384Key =
    "MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAE05Tj1BHUQ+plTUyDUPkkMyj0AgjV34WhkyzSQUSa8CYFPQ1hwjf8UERJ/+QrotNZ5dRHSY7aEFIBHmKN"
    "0E4/9XoqhiCls3slu6w9If+rFbkSRDRc/PSovqYYv2Dti2oG";

}  // namespace nm::openssl_vectors
