#include "roster/personal_fields.h"

namespace tavrin::contacts {

#define TEXT_FIELD(attr, member)                    \
  PersonalField {                                   \
    attr, false, offsetof(fx_personal_info, member) \
  }
#define INT_FIELD(attr, member)                    \
  PersonalField {                                  \
    attr, true, offsetof(fx_personal_info, member) \
  }

const std::array<PersonalField, 30> kPersonalFields = {
    TEXT_FIELD("nickname", nickname),
    TEXT_FIELD("impresa", impresa),
    INT_FIELD("gender", gender),
    TEXT_FIELD("nation", nation),
    TEXT_FIELD("province", province),
    INT_FIELD("city", city),
    INT_FIELD("ivr-enabled", ivr_enabled),
    INT_FIELD("portrait-crc", portrait_crc),
    INT_FIELD("provisioning", provisioning),
    TEXT_FIELD("mobile-no", mobile_no),
    TEXT_FIELD("name", name),
    TEXT_FIELD("birth-date", birth_date),
    INT_FIELD("birthday-valid", birthday_valid),
    INT_FIELD("lunar-animal", lunar_animal),
    INT_FIELD("horoscope", horoscope),
    TEXT_FIELD("profile", profile),
    INT_FIELD("blood-type", blood_type),
    TEXT_FIELD("occupation", occupation),
    TEXT_FIELD("hobby", hobby),
    TEXT_FIELD("personal-email", personal_email),
    TEXT_FIELD("work-email", work_email),
    TEXT_FIELD("other-email", other_email),
    INT_FIELD("primary-email", primary_email),
    TEXT_FIELD("job-title", job_title),
    TEXT_FIELD("home-phone", home_phone),
    TEXT_FIELD("work-phone", work_phone),
    TEXT_FIELD("other-phone", other_phone),
    TEXT_FIELD("company", company),
    TEXT_FIELD("company_website", company_website),
    INT_FIELD("match-enabled", match_enabled),
};

#undef TEXT_FIELD
#undef INT_FIELD

}  // namespace tavrin::contacts
