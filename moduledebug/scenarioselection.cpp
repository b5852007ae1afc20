#include "scenarioselection.h"

void ScenarioSelection::add(bool ticked, const QString &path)
{
    if (ticked)
        paths.append(path);
}

bool ScenarioSelection::valid() const
{
    for (int i = 0; i < paths.size(); ++i) {
        if (paths.at(i).isEmpty())
            return false;
        for (int j = i + 1; j < paths.size(); ++j)
            if (paths.at(i).compare(paths.at(j), sameFile) == 0)
                return false;
    }
    return true;
}
