#include "common/UserTexts.h"

namespace ordalis::texts {

std::string BadStoreName(const std::string& storeName)
{
    return "Неверное имя хранилища сертификатов: \"" + storeName + "\"";
}

std::string KeyPasswordQuestion(const std::string& what, int attempt)
{
    return (attempt > 1 ? "Неверный пароль. " : "") + std::string("Пароль закрытого ключа ") + what;
}

} // namespace ordalis::texts
