#pragma once
// Two minisign key pairs made for the tests with "minisign -G -W" (no
// password): A signs what the tests publish, B stands for someone else's key.

inline constexpr char kTestPublicKeyA[] =
    "RWS7EAkvvHnLELo2UeEc8EtCzxzLVxw72YcuJ5hrAjRJG8jEUsrGKiMh";
inline constexpr char kTestPublicKeyB[] =
    "RWQ39Irto90KD4eau8dqB1W/+JJd477leXQVIrvKvt1gLRZjOPF3OjPy";
inline constexpr char kTestSecretKeyA[] =
    "untrusted comment: minisign encrypted secret key\n"
    "RWQAAEIyAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAuxAJL7x5yxBvGclxuxNvg0"
    "Aj"
    "lWj5fouL+"
    "CW7qSzfH3gj9666aIOj8ro2UeEc8EtCzxzLVxw72YcuJ5hrAjRJG8jEUsrGKiMhAAAAAAAAAAAAAAAAAAAAAAAA"
    "AAAAAAAAAAAAAAAAAAA=\n";
inline constexpr char kTestSecretKeyB[] =
    "untrusted comment: minisign encrypted secret key\n"
    "RWQAAEIyAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAN/"
    "SK7aPdCg823el0mG8aqvMR"
    "8RsYoSuGTe6lpL5W6YYTy58PUTpjBoeau8dqB1W/"
    "+JJd477leXQVIrvKvt1gLRZjOPF3OjPyAAAAAAAAAAAAAAAAAAAAAAAA"
    "AAAAAAAAAAAAAAAAAAA=\n";
