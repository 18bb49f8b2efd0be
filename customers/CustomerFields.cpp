#include "customers/CustomerFields.h"

namespace customers {

const QList<CustomerField> &customerFields()
{
    using E = Entry;
    using F = Frame;
    static const QList<CustomerField> fields = {
        {"TDBMask13", "LockerNumber", E::Masked, "##########", "Locker Number", "Enter the locker number", F::Identification, 0, 0, {}},
        {"TDBDate1", "DateRented", E::Date, {}, "Rented On", "Enter the date you rented this locker", F::Dates, 0, 0, {}},
        {"TDBDate2", "DateToRenew", E::Date, {}, "Expires On", "Enter the date of renewal", F::Dates, 1, 0, {}},
        {"TDBMask14", "KeyNumber", E::Masked, "##########", "Key Number", "Enter the serial number of the locker key", F::Locker, 0, 0, {}},
        {"TDBMask15", "KeyDeposit", E::Masked, "##########", "Key Deposit", "Enter the amount the customer has given for the key deposit", F::Locker, 1, 0, {}},
        {"TDBMask1", "Combo1", E::Masked, "##-##-##", "Combination # 1", "Enter the combination #1", F::Locker, 0, 1, {}},
        {"TDBMask2", "Combo2", E::Masked, "##-##-##", "Combination # 2", "Enter the combination #2", F::Locker, 1, 1, {}},
        {"TDBMask3", "Combo3", E::Masked, "##-##-##", "Combination # 3", "Enter the combination #3", F::Locker, 2, 1, {}},
        {"txtFields_0", "FirstName", E::Text, {}, "First Name:", "Enter the customer first name", F::Personal, 0, 0, {}},
        {"txtFields_1", "LastName", E::Text, {}, "Last Name:", "Enter the customer last name", F::Personal, 1, 0, {}},
        {"txtFields_2", "Address1", E::Text, {}, "Address:", "Enter their address", F::Personal, 2, 0, {}},
        {"txtFields_3", "Address2", E::Text, {}, {}, "Enter their address", F::Personal, 3, 0, "Address line 2"},
        {"txtFields_4", "Address3", E::Text, {}, {}, "Enter their address", F::Personal, 4, 0, "Address line 3"},
        {"txtFields_5", "City", E::Text, {}, "City:", "Enter the city", F::Personal, 5, 0, {}},
        {"txtFields_6", "State", E::Text, {}, "State:", "Enter the state", F::Personal, 6, 0, {}},
        {"TDBMask4", "Zip", E::Masked, "#####-####", "Zip:", "Enter the zip code", F::Personal, 7, 0, {}},
        {"TDBMask5", "Phone1", E::Masked, "(999)999-9999", "Phone #1:", "Enter the phone number", F::Personal, 0, 1, {}},
        {"TDBMask6", "Phone2", E::Masked, "(999)999-9999", "Phone #2:", "Enter a secondary phone number", F::Personal, 1, 1, {}},
        {"TDBMask7", "Fax", E::Masked, "(999)999-9999", "Fax:", "Enter a fax number", F::Personal, 2, 1, {}},
        {"txtFields_7", "EMail", E::Text, {}, "E-Mail:", "Enter the customer e-mail address", F::Personal, 3, 1, {}},
        {"TDBDate3", "Birthdate", E::TextDate, {}, "Birthdate:", "Enter the birthdate", F::Personal, 4, 1, {}},
        {"TDBMask16", "Gender", E::Masked, "A", "Gender:", "Enter either a M or F", F::Personal, 5, 1, {}},
        {"TDBMask9", "SSNumber", E::Masked, "999-99-9999", "SSNumber:", "Enter the social security number", F::Personal, 6, 1, {}},
        {"TDBMask12", "VIBNumber", E::Masked, "##########", "VIB Number:", "You can enter your own ID number here for a bowler", F::Personal, 7, 1, {}},
        {"txtFields_8", "Notes", E::Memo, {}, "Notes:", "Enter any notes about the customer ", F::Personal, 9, 0, {}},
        {"txtFields_9", "WorkName", E::Text, {}, "Name:", "Enter the employer name", F::Work, 0, 0, {}},
        {"txtFields_10", "WorkAddress1", E::Text, {}, "Address:", "Employer's address", F::Work, 1, 0, {}},
        {"txtFields_11", "WorkAddress2", E::Text, {}, {}, "Employer's address", F::Work, 2, 0, "Employer's address line 2"},
        {"txtFields_12", "WorkCity", E::Text, {}, "City:", "Employer's city", F::Work, 3, 0, {}},
        {"txtFields_13", "WorkState", E::Text, {}, "State:", "Employer's state", F::Work, 4, 0, {}},
        {"TDBMask8", "WorkZip", E::Masked, "#####-####", "Zip:", "Enter the work zipcode", F::Work, 5, 0, {}},
        {"TDBMask10", "WorkPhone", E::Masked, "(999)999-9999", "Phone:", "Enter the work phone number", F::Work, 6, 0, {}},
        {"TDBMask11", "WorkFax", E::Masked, "(999)999-9999", "Fax:", "Enter a work fax number", F::Work, 7, 0, {}},
        {"chkFields_0", "Adult", E::Check, {}, "Adult:", "Click here if the customer is an adult bowler", F::Personal, 8, 0, {}},
        {"chkFields_1", "Junior", E::Check, {}, "Junior:", "Click here if the customer is a junior bowler", F::Personal, 8, 1, {}},
        {"chkFields_2", "Senior", E::Check, {}, "Senior:", "Click here if the customer is a senior bowler", F::Personal, 8, 2, {}},
        {"chkFields_3", "MixedLeague", E::Check, {}, "Mixed:", "Click here if the customer bowls in mixed leagues", F::Leagues, 0, 0, {}},
        {"chkFields_4", "WomensLeague", E::Check, {}, "Womens:", "Click here if the customer bowls in womens leagues", F::Leagues, 0, 1, {}},
        {"chkFields_5", "JuniorLeague", E::Check, {}, "Juniors:", "Click here if the customer bowls in junior leagues", F::Leagues, 0, 2, {}},
        {"chkFields_6", "MensLeague", E::Check, {}, "Mens:", "Click here if the customer bowls in mens leagues", F::Leagues, 0, 3, {}},
        {"chkFields_7", "AdultJunior", E::Check, {}, "Adult/Jr.", "Click here if the customer bowls in adult/jr leagues", F::Leagues, 0, 4, {}},
        {"chkFields_8", "SeniorLeague", E::Check, {}, "Seniors:", "Click here if the customer bowls in senior leagues", F::Leagues, 0, 5, {}},
        {"chkFields_9", "Tournament", E::Check, {}, "Tournament:", "Click here if the customer bowls in tournaments", F::Leagues, 1, 0, {}},
        {"chkFields_10", "Winter", E::Check, {}, "Winter:", "Click here if the customer bowls in winter leagues", F::Leagues, 1, 1, {}},
        {"chkFields_11", "Summer", E::Check, {}, "Summer:", "Click here if the customer bowls in summer leagues", F::Leagues, 1, 2, {}},
        {"chkFields_12", "HdcpLeague", E::Check, {}, "Handicap:", "Click here if the customer bowls in leagues with handicap", F::Leagues, 1, 3, {}},
        {"chkFields_13", "ScratchLeague", E::Check, {}, "Scratch:", "Click here if the customer bowls in scratch leagues", F::Leagues, 1, 4, {}},
    };
    return fields;
}

const QList<FrameInfo> &customerFrames()
{
    static const QList<FrameInfo> frames = {
        {Frame::Identification, "FrameIdentification", "Identification", "ID Numbers"},
        {Frame::Dates, "FrameDates", "Dates", {}},
        {Frame::Locker, "FrameLocker", "Locker Information", "Locker information"},
        {Frame::Personal, "FramePersonal", "Personal Information", "Customer information"},
        {Frame::Work, "FrameWork", "Work Information", "Customer employer information"},
        {Frame::Leagues, "FrameLeagues", "League Types", "Types of leagues the customer bowls in"},
    };
    return frames;
}

} // namespace customers
