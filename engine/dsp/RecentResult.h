#pragma once

#include <cstring>

namespace crvl::dsp
{

/** The result of a pure function for the argument it was last given. A per-block setting
    that did not change since the last block then costs a comparison instead of a
    logarithm, power or tangent, which at small blocks is a good part of the block's cost.
    The arguments are compared bit for bit, so the result is always the function's own. */
template <typename Argument, typename Result>
class RecentResult
{
public:
    template <typename Function>
    Result get (const Argument& argument, Function&& function) noexcept
    {
        if (! known || std::memcmp (&argument, &last_argument, sizeof (Argument)) != 0)
        {
            last_result = function (argument);
            last_argument = argument;
            known = true;
        }

        return last_result;
    }

    /** The next get works its result out afresh. */
    void forget() noexcept { known = false; }

private:
    Argument last_argument {};
    Result last_result {};
    bool known = false;
};

} // namespace crvl::dsp
