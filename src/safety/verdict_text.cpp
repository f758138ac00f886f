#include "safety/verdict_text.h"

#include "config/folders.h"
#include "config/native_path.h"
#include "config/outside_text.h"
#include "texts/catalogue.h"

namespace larkspan {

std::string ShownVerdictLines(std::string_view lines, std::string_view server)
{
    bool cut = false;
    std::string shown = CleanLines(lines, kShownLineBytes, kShownTextBytes, &cut);
    if (!cut)
        return shown;
    std::string folder;
    std::string file;
    if (MakePrivateFolder(TemporaryFolderRoot(), "larkspan-output-", folder).ok()) {
        file = NativePath(folder + "\\" + std::string(server) + ".txt");
        if (!WriteNewFile(file, lines, 0600, false).ok())
            file.clear();
    }
    return shown + "\n" + catalogue::NotAllShown(CleanLine(file));
}

} // namespace larkspan
