#pragma once

#include <string>

// The user texts that more than one place shows: the window and the command
// line, or two layers of the core.
namespace ordalis::texts {

inline constexpr const char* kFileTooLarge = "Размер файла не должен превышать 299 Мб";
inline constexpr const char* kNoCertificateChosen = "Не выбран сертификат";

// Said of a file of the store or of one being imported, after its name.
inline constexpr const char* kDamagedCertificate = ": поврежденный сертификат";
inline constexpr const char* kLegacyEncryptedKey = ": ключ в устаревшей зашифрованной форме; нужна форма PKCS#8";

std::string BadStoreName(const std::string& storeName);

// The question for the password of a private key, what naming it; after a wrong
// answer it says so first. Each front-end adds its own colon.
std::string KeyPasswordQuestion(const std::string& what, int attempt);

} // namespace ordalis::texts
