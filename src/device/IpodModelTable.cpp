// The iPod models, as data.
//
// Sources: Apple's published lists for telling iPod models apart ("Identify your iPod model",
// support.apple.com, which gives each generation's model numbers and capacities); the model
// table and the serial-number suffixes kept with libgpod and collected by the PodSleuth project
// (the commonly known lists of what each iPod reports in SysInfo); and, for the checksum kinds,
// the database formats as documented by the iPodLinux project and implemented in libgpod
// (hash58 from the classic and the nano 3G, hash72 on the nano 5G, hashAB on the nano 6G and 7G).
#include "IpodModel.h"

#include <iterator>

namespace corvanel::device {

namespace {

using C = ChecksumKind;

constexpr ModelGeneration Ipod1{"iPod (1st generation)", C::None};
constexpr ModelGeneration Ipod2{"iPod (2nd generation)", C::None};
constexpr ModelGeneration Ipod3{"iPod (3rd generation)", C::None};
constexpr ModelGeneration Ipod4{"iPod (4th generation)", C::None};
constexpr ModelGeneration IpodPhoto{"iPod photo", C::None};
constexpr ModelGeneration Ipod5{"iPod (5th generation)", C::None};
constexpr ModelGeneration Ipod5Late{"iPod (5th generation, late 2006)", C::None};
constexpr ModelGeneration Classic{"iPod classic", C::Hash58};
constexpr ModelGeneration Mini1{"iPod mini (1st generation)", C::None};
constexpr ModelGeneration Mini2{"iPod mini (2nd generation)", C::None};
constexpr ModelGeneration Nano1{"iPod nano (1st generation)", C::None};
constexpr ModelGeneration Nano2{"iPod nano (2nd generation)", C::None};
constexpr ModelGeneration Nano3{"iPod nano (3rd generation)", C::Hash58};
constexpr ModelGeneration Nano4{"iPod nano (4th generation)", C::Hash58};
constexpr ModelGeneration Nano5{"iPod nano (5th generation)", C::Hash72};
constexpr ModelGeneration Nano6{"iPod nano (6th generation)", C::HashAB};
constexpr ModelGeneration Nano7{"iPod nano (7th generation)", C::HashAB};
constexpr ModelGeneration Shuffle1{"iPod shuffle (1st generation)", C::None};
constexpr ModelGeneration Shuffle2{"iPod shuffle (2nd generation)", C::None};
constexpr ModelGeneration Shuffle3{"iPod shuffle (3rd generation)", C::None};
constexpr ModelGeneration Shuffle4{"iPod shuffle (4th generation)", C::None};

constexpr ModelFacts Models[] = {
    {"8513", &Ipod1, 5000},      {"8541", &Ipod1, 5000},      {"8697", &Ipod1, 5000},      {"8709", &Ipod1, 10000},
    {"8737", &Ipod2, 10000},     {"8740", &Ipod2, 10000},     {"8738", &Ipod2, 20000},     {"8741", &Ipod2, 20000},
    {"8976", &Ipod3, 10000},     {"8946", &Ipod3, 15000},     {"9460", &Ipod3, 15000},     {"9244", &Ipod3, 20000},
    {"8948", &Ipod3, 30000},     {"9245", &Ipod3, 40000},     {"9282", &Ipod4, 20000},     {"9787", &Ipod4, 25000},
    {"9268", &Ipod4, 40000},     {"E436", &Ipod4, 40000},     {"A079", &IpodPhoto, 20000}, {"A127", &IpodPhoto, 20000},
    {"9829", &IpodPhoto, 30000}, {"S492", &IpodPhoto, 30000}, {"9585", &IpodPhoto, 40000}, {"9830", &IpodPhoto, 60000},
    {"9586", &IpodPhoto, 60000}, {"A002", &Ipod5, 30000},     {"A146", &Ipod5, 30000},     {"A452", &Ipod5, 30000},
    {"A003", &Ipod5, 60000},     {"A147", &Ipod5, 60000},     {"A444", &Ipod5Late, 30000}, {"A446", &Ipod5Late, 30000},
    {"A664", &Ipod5Late, 30000}, {"A448", &Ipod5Late, 80000}, {"A450", &Ipod5Late, 80000}, {"B029", &Classic, 80000},
    {"B147", &Classic, 80000},   {"B145", &Classic, 160000},  {"B150", &Classic, 160000},  {"B562", &Classic, 120000},
    {"B565", &Classic, 120000},  {"C293", &Classic, 160000},  {"C297", &Classic, 160000},  {"9160", &Mini1, 4000},
    {"9434", &Mini1, 4000},      {"9435", &Mini1, 4000},      {"9436", &Mini1, 4000},      {"9437", &Mini1, 4000},
    {"9800", &Mini2, 4000},      {"9802", &Mini2, 4000},      {"9804", &Mini2, 4000},      {"9806", &Mini2, 4000},
    {"9801", &Mini2, 6000},      {"9803", &Mini2, 6000},      {"9805", &Mini2, 6000},      {"9807", &Mini2, 6000},
    {"A350", &Nano1, 1000},      {"A352", &Nano1, 1000},      {"A004", &Nano1, 2000},      {"A099", &Nano1, 2000},
    {"A005", &Nano1, 4000},      {"A107", &Nano1, 4000},      {"A477", &Nano2, 2000},      {"A426", &Nano2, 4000},
    {"A428", &Nano2, 4000},      {"A487", &Nano2, 4000},      {"A489", &Nano2, 4000},      {"A725", &Nano2, 4000},
    {"A497", &Nano2, 8000},      {"A726", &Nano2, 8000},      {"A978", &Nano3, 4000},      {"A980", &Nano3, 8000},
    {"B249", &Nano3, 8000},      {"B253", &Nano3, 8000},      {"B257", &Nano3, 8000},      {"B261", &Nano3, 8000},
    {"B480", &Nano4, 4000},      {"B651", &Nano4, 4000},      {"B654", &Nano4, 4000},      {"B657", &Nano4, 4000},
    {"B660", &Nano4, 4000},      {"B663", &Nano4, 4000},      {"B666", &Nano4, 4000},      {"B598", &Nano4, 8000},
    {"B732", &Nano4, 8000},      {"B735", &Nano4, 8000},      {"B739", &Nano4, 8000},      {"B742", &Nano4, 8000},
    {"B745", &Nano4, 8000},      {"B748", &Nano4, 8000},      {"B751", &Nano4, 8000},      {"B754", &Nano4, 8000},
    {"B903", &Nano4, 16000},     {"B905", &Nano4, 16000},     {"B907", &Nano4, 16000},     {"B909", &Nano4, 16000},
    {"B911", &Nano4, 16000},     {"B913", &Nano4, 16000},     {"B915", &Nano4, 16000},     {"B917", &Nano4, 16000},
    {"B918", &Nano4, 16000},     {"C027", &Nano5, 8000},      {"C031", &Nano5, 8000},      {"C034", &Nano5, 8000},
    {"C037", &Nano5, 8000},      {"C040", &Nano5, 8000},      {"C043", &Nano5, 8000},      {"C046", &Nano5, 8000},
    {"C049", &Nano5, 8000},      {"C050", &Nano5, 8000},      {"C060", &Nano5, 16000},     {"C062", &Nano5, 16000},
    {"C064", &Nano5, 16000},     {"C066", &Nano5, 16000},     {"C068", &Nano5, 16000},     {"C070", &Nano5, 16000},
    {"C072", &Nano5, 16000},     {"C074", &Nano5, 16000},     {"C075", &Nano5, 16000},     {"C525", &Nano6, 8000},
    {"C688", &Nano6, 8000},      {"C689", &Nano6, 8000},      {"C690", &Nano6, 8000},      {"C691", &Nano6, 8000},
    {"C692", &Nano6, 8000},      {"C693", &Nano6, 8000},      {"C526", &Nano6, 16000},     {"C694", &Nano6, 16000},
    {"C695", &Nano6, 16000},     {"C696", &Nano6, 16000},     {"C697", &Nano6, 16000},     {"C698", &Nano6, 16000},
    {"C699", &Nano6, 16000},     {"D475", &Nano7, 16000},     {"D476", &Nano7, 16000},     {"D477", &Nano7, 16000},
    {"D478", &Nano7, 16000},     {"D479", &Nano7, 16000},     {"D480", &Nano7, 16000},     {"D481", &Nano7, 16000},
    {"D744", &Nano7, 16000},     {"E971", &Nano7, 16000},     {"9724", &Shuffle1, 512},    {"9725", &Shuffle1, 1000},
    {"A546", &Shuffle2, 1000},   {"A947", &Shuffle2, 1000},   {"A949", &Shuffle2, 1000},   {"A951", &Shuffle2, 1000},
    {"A953", &Shuffle2, 1000},   {"C167", &Shuffle2, 1000},   {"B225", &Shuffle2, 1000},   {"B227", &Shuffle2, 1000},
    {"B228", &Shuffle2, 1000},   {"B229", &Shuffle2, 1000},   {"B231", &Shuffle2, 1000},   {"B233", &Shuffle2, 1000},
    {"B518", &Shuffle2, 2000},   {"B520", &Shuffle2, 2000},   {"B522", &Shuffle2, 2000},   {"B524", &Shuffle2, 2000},
    {"B526", &Shuffle2, 2000},   {"C306", &Shuffle3, 2000},   {"C323", &Shuffle3, 2000},   {"C381", &Shuffle3, 2000},
    {"C384", &Shuffle3, 2000},   {"C387", &Shuffle3, 2000},   {"B867", &Shuffle3, 4000},   {"C164", &Shuffle3, 4000},
    {"C303", &Shuffle3, 4000},   {"C307", &Shuffle3, 4000},   {"C328", &Shuffle3, 4000},   {"C331", &Shuffle3, 4000},
    {"C584", &Shuffle4, 2000},   {"C585", &Shuffle4, 2000},   {"C749", &Shuffle4, 2000},   {"C750", &Shuffle4, 2000},
    {"C751", &Shuffle4, 2000},
};

// The last three characters of a serial number and the model number they stand for.
struct SerialSuffix
{
    const char *suffix;
    const char *number;
};

constexpr SerialSuffix Serials[] = {
    {"V9K", "A444"}, {"V9L", "A444"}, {"WU9", "A444"}, {"VQM", "A446"}, {"V9M", "A446"}, {"V9N", "A446"},
    {"V9P", "A448"}, {"V9Q", "A448"}, {"V9R", "A450"}, {"V9S", "A450"}, {"V95", "A450"}, {"V96", "A450"},
    {"WUC", "A450"}, {"Y5N", "B029"}, {"YMV", "B147"}, {"YMU", "B145"}, {"YMX", "B150"}, {"2C5", "B562"},
    {"2C7", "B565"}, {"9ZS", "C293"}, {"9ZU", "C297"}, {"Y0P", "A978"}, {"Y0R", "A980"}, {"YXR", "B249"},
    {"YXV", "B257"}, {"YXT", "B253"}, {"YXX", "B261"}, {"1P1", "B480"}, {"37H", "B654"}, {"37K", "B657"},
    {"37L", "B660"}, {"37P", "B663"}, {"37Q", "B666"}, {"2ME", "B598"}, {"3QS", "B732"}, {"3QT", "B735"},
    {"3QU", "B739"}, {"3QW", "B742"}, {"3QX", "B745"}, {"3QY", "B748"}, {"3QZ", "B751"}, {"3R0", "B754"},
    {"5B7", "B903"}, {"5B8", "B905"}, {"5B9", "B907"}, {"5BA", "B909"}, {"5BB", "B911"}, {"5BC", "B913"},
    {"5BD", "B915"}, {"5BE", "B917"}, {"5BF", "B918"}, {"71V", "C027"}, {"71Y", "C031"}, {"721", "C034"},
    {"726", "C037"}, {"72A", "C040"}, {"72F", "C046"}, {"72K", "C049"}, {"72L", "C050"}, {"72Q", "C060"},
    {"72R", "C062"}, {"72S", "C064"}, {"72X", "C066"}, {"734", "C068"}, {"738", "C070"}, {"739", "C072"},
    {"73A", "C074"}, {"73B", "C075"}, {"A1S", "C306"}, {"A78", "C323"}, {"ALB", "C381"}, {"ALD", "C384"},
    {"ALG", "C387"}, {"4NZ", "B867"}, {"891", "C164"}, {"A1L", "C303"}, {"A1U", "C307"}, {"A7B", "C328"},
    {"A7D", "C331"},
};

} // namespace

const ModelFacts *findModelByKey(QStringView key)
{
    for (const ModelFacts &model : Models)
        if (key.compare(QLatin1String(model.number), Qt::CaseInsensitive) == 0)
            return &model;
    return nullptr;
}

const ModelFacts *findModelBySerial(QStringView serialNumber)
{
    const QStringView serial = serialNumber.trimmed();
    if (serial.size() < 3)
        return nullptr;
    const QStringView suffix = serial.last(3);
    for (const SerialSuffix &entry : Serials)
        if (suffix.compare(QLatin1String(entry.suffix), Qt::CaseInsensitive) == 0)
            return findModelByKey(QString::fromLatin1(entry.number));
    return nullptr;
}

} // namespace corvanel::device
