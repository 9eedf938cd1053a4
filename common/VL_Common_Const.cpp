#include "common/VL_Common_Const.h"

const std::array<TDictEntry, 3> BodyTypesDefault = {{
    {L"Normo", L"Нормостеник"},
    {L"Giper", L"Гиперстеник"},
    {L"Asten", L"Астеник"},
}};

const std::array<TDictEntry, 22> DiagnosesDefault = {{
    {L"Gip", L"Гипертония"},
    {L"NIP", L"Нефрит или пиелонефрит"},
    {L"NMK", L"Нарушение мозгового кровообращения"},
    {L"IBS", L"ИБС"},
    {L"Ste", L"Стенокардия"},
    {L"PKa", L"Постинфарктный кардиосклероз"},
    {L"IPF", L"Инфаркт, подострая фаза"},
    {L"Rev", L"Ревматизм"},
    {L"NCD", L"НЦД"},
    {L"HNZ", L"Хрон. неспецифич. заболевания легких"},
    {L"BAs", L"Бронхиальная астма"},
    {L"IOF", L"Инфаркт, острая фаза"},
    {L"MSt", L"Митральный стеноз"},
    {L"API", L"Аортальный порок или митр. недостат"},
    {L"DMP", L"Дефект межжелудочковой перегородки"},
    {L"DMPP", L"Дефект межпредсердной перегородки"},
    {L"OAP", L"Общий артериальный проток"},
    {L"SAo", L"Стеноз аорты"},
    {L"KAo", L"Коарктация аорты"},
    {L"SLA", L"Стеноз лег. арт, тетр. и триада Фало"},
    {L"IVR", L"Искусственный водитель ритма"},
    {nullptr, L"Сахарный диабет"},
}};

// "Антогонисты Ca": the C and the a are Latin letters.
const std::array<TDictEntry, 9> MedicationsDefault = {{
    {L"SGl", L"сердечные гликозиды"},
    {L"Hin", L"хинидин"},
    {L"Kor", L"кордарон"},
    {L"PAn", L"пр. антиритмические"},
    {L"NPr", L"нитропрепараты"},
    {L"ACA", L"Антогонисты Ca"},
    {L"BBl", L"Б-блокаторы"},
    {L"Ant", L"антигипертензионные"},
    {L"Diu", L"диуретики"},
}};

const std::array<TDictEntry, 5> ConductionTypesDefault = {{
    {L"Norm", L"Норма"},
    {L"BLN", L"БЛН"},
    {L"BPN", L"БПН"},
    {nullptr, L"WPW"},
    {L"nOp", L"Не определен"},
}};

const TDictEntry LabelFailureDefault = {L"Sbo", L"СБОЙ"};
const TDictEntry LabelMarkDefault = {L"Met", L"МЕТКА"};
const TDictEntry LabelNDefault = {L"nnn", L"н"};
const TDictEntry LabelSDefault = {L"sss", L"с"};
