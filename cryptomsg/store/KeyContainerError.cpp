#include "cryptomsg/store/KeyContainerError.h"

namespace ordalis {

namespace {

std::string RussianText(KeyContainerError::Kind kind, const std::string& detail)
{
    using Kind = KeyContainerError::Kind;
    switch (kind) {
    case Kind::MissingFile: return "В контейнере ключа нет файла " + detail;
    case Kind::DamagedFile: return "Файл " + detail + " контейнера ключа поврежден";
    case Kind::IntegrityFailed: return "Не сходится контрольное значение файла " + detail + " контейнера ключа";
    case Kind::WrongPin: return "Неверный PIN-код контейнера";
    case Kind::PinNotGiven: return "Не задан PIN-код контейнера \"" + detail + "\"";
    case Kind::KeyMismatch: return "Закрытый ключ контейнера не соответствует сертификату";
    case Kind::NoCertificate:
        return "Для ключа контейнера нет сертификата: укажите его в --cert или импортируйте в хранилище";
    case Kind::Unsupported: return "Контейнер ключа не поддерживается: " + detail;
    case Kind::NotAContainer: return "В папке \"" + detail + "\" нет контейнеров ключей";
    case Kind::UnknownContainer: return "Нет контейнера ключа с именем \"" + detail + "\"";
    case Kind::ContainerNotChosen: return "В папке несколько контейнеров ключей: выберите один в --container";
    case Kind::TargetExists: return "Папка \"" + detail + "\" уже существует";
    }
    return "Ошибка контейнера ключа";
}

} // namespace

KeyContainerError::KeyContainerError(Kind kind, std::string detail)
    : Error(RussianText(kind, detail)), m_kind(kind), m_detail(std::move(detail))
{
}

} // namespace ordalis
