#pragma once

// The usage-error texts both terminal programs say, in English and Russian
// (see Language.h), so that the two say a mistake the same way.

#include "tools/common/Language.h"

namespace ordalis::tools::texts {

inline constexpr Text kGivenTwice{"option %1 is given twice", "параметр %1 задан дважды"};
inline constexpr Text kNeedsValue{"%1 needs a value", "после %1 нужно значение"};
inline constexpr Text kNoCommand{"no command given", "не указана команда"};
inline constexpr Text kUnknownCommand{"unknown command: ", "неизвестная команда: "};
// "option --x does not go with the command sign"
inline constexpr Text kOptionNotForVerb{"option %1 does not go with the command %2",
                                        "параметр %1 не подходит к команде %2"};

} // namespace ordalis::tools::texts
