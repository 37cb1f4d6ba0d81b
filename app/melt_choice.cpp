#include "melt_choice.h"

#include "run/melt_run.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace karrow {

MaterialFolders WindowMaterialFolders()
{
    return MaterialFoldersOf(QCoreApplication::applicationDirPath().toStdString(),
        { KARROW_INSTALLED_MATERIALS, KARROW_SOURCE_MATERIALS }, std::getenv("XDG_DATA_HOME"),
        std::getenv("HOME"));
}

MeltAnswer SolveMeltAnswer(const Solution& run, const MeltChoice& choice)
{
    // The exact network at its default resolution, as karrow-cli and the JSON export solve it,
    // so that the tab, the export and the command line give one answer for one design.
    const MeltRun solved = SolveMeltRun(run.In, choice.Melt, choice.Conditions);
    MeltAnswer answer;
    answer.Solved = solved.Answer;
    if (!solved.Solved) {
        answer.Solved.Network.Converged = false;
        answer.Solved.Network.Failure = solved.Failure;
    }
    answer.TransferIncrements = solved.TransferIncrements;
    const NetworkSolution& network = answer.Solved.Network;
    answer.HeadPressureMPa = network.InletPressure * PascalPerGramForce / 1e6;
    const auto first = network.SlitFlow.begin() + std::min<std::ptrdiff_t>(
                           answer.TransferIncrements, std::ssize(network.SlitFlow));
    if (first != network.SlitFlow.end()) {
        const auto [low, high] = std::minmax_element(first, network.SlitFlow.end());
        double sum = 0;
        for (auto flow = first; flow != network.SlitFlow.end(); ++flow)
            sum += *flow;
        const double mean = sum / static_cast<double>(network.SlitFlow.end() - first);
        if (mean > 0)
            answer.FlowSpreadPercent = (*high - *low) / mean * 100;
    }
    return answer;
}

} // namespace karrow
