#include "common/SystemError.h"

#include "common/Error.h"
#include "common/ErrorCodes.h"
#include "common/LastError.h"

#include <cstring>
#include <filesystem>
#include <string_view>

namespace ordalis {

namespace {

struct CodeText {
    std::uint32_t code;
    const char* text;
};

constexpr CodeText kCodeTexts[] = {
    {codes::ErrorMoreData, "Размер буфера недостаточен для данных"},
    {codes::Cancelled, "Операция отменена пользователем"},
    {codes::InvalidArg, "Параметр задан неверно"},
    {codes::InvalidPassword, "Неверный пароль"},
    {codes::OutOfMemory, "Недостаточно памяти для завершения операции"},
    {codes::NotImpl, "Функция не реализована"},
    {codes::NoInterface, "Интерфейс не поддерживается"},
    {codes::Abort, "Операция прервана"},
    {codes::Fail, "Неустановленная ошибка"},
    {codes::ClassNotAvailable, "Класс не поддерживается библиотекой"},
    {codes::BadData, "Неправильные данные"},
    {codes::BadSignature, "Неправильная подпись"},
    {codes::BadAlgId, "Указан неправильный алгоритм"},
    {codes::NoMemory, "Недостаточно памяти для криптографической операции"},
    {codes::BadKeyset, "Набор ключей не существует"},
    {codes::ProviderNotFound, "Криптопровайдер ГОСТ недоступен: не установлен модуль gost для OpenSSL"},
    {codes::ProviderFail, "Внутренняя ошибка криптопровайдера"},
    {codes::MsgError, "Ошибка при обработке криптографического сообщения"},
    {codes::UnknownAlgo, "Неизвестный криптографический алгоритм"},
    {codes::InvalidMsgType, "Недопустимый тип криптографического сообщения"},
    {codes::HashValue, "Хеш-значение не совпадает"},
    {codes::InvalidIndex, "Недопустимый индекс"},
    {codes::SignerNotFound, "Подписавший не найден в сообщении"},
    {codes::NotFound, "Объект или свойство не найдены"},
    {codes::UnexpectedMsgType, "Неожиданный тип криптографического сообщения"},
    {codes::NoKeyProperty, "Не удается найти закрытый ключ сертификата"},
    {codes::NoDecryptCert, "Не найден сертификат и связанный с ним закрытый ключ для расшифровки"},
    {codes::Asn1Corrupt, "Ошибка ASN1: данные повреждены"},
    {codes::Asn1Eod, "Ошибка ASN1: неожиданный конец данных"},
    {codes::Asn1BadTag, "Ошибка ASN1: неверный тег"},
};

std::string Trimmed(std::string text)
{
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.back());
        if (c > 32 && c != '.')
            break;
        text.pop_back();
    }
    if (text.size() > 255)
        text.resize(255);
    return text;
}

std::string AbsolutePath(const std::string& path)
{
    std::error_code ec;
    auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

} // namespace

std::string ErrnoText(int err)
{
    char buffer[256];
    // GNU strerror_r returns the message, in the user's locale.
    const char* text = strerror_r(err, buffer, sizeof buffer);
    return Trimmed(text ? text : "");
}

std::string SystemErrorText(std::uint32_t code)
{
    for (const auto& entry : kCodeTexts)
        if (entry.code == code)
            return entry.text;
    if (code != 0 && code < 0x10000)
        return ErrnoText(static_cast<int>(code));
    // The 7z library reports errno failures as 0x8007xxxx or 0x8800xxxx.
    const std::uint32_t facility = code & 0xFFFF0000u;
    if (facility == 0x80070000u || facility == 0x88000000u)
        return ErrnoText(static_cast<int>(code & 0xFFFFu));
    return {};
}

std::string ErrorReportText(std::uint32_t code) { return SystemErrorText(code) + " - " + std::to_string(code); }

void Win32Check(bool ok)
{
    if (ok)
        return;
    const std::uint32_t code = GetLastError();
    if (code == 0)
        throw Error("A call to an OS function failed");
    throw Error("System Error.  Code: " + std::to_string(static_cast<std::int32_t>(code)) + ".\r\n" +
                SystemErrorText(code));
}

std::string CannotOpenFileText(const std::string& path, int err)
{
    return "Cannot open file \"" + AbsolutePath(path) + "\". " + ErrnoText(err);
}

std::string CannotCreateFileText(const std::string& path, int err)
{
    return "Cannot create file \"" + AbsolutePath(path) + "\". " + ErrnoText(err);
}

} // namespace ordalis
