package Quorvane.homals;

/**
 * How the solution of a {@link HomalsModel} was found: the data's size, the settings of the fit
 * and how its run ended. It describes the model; projection reads none of it.
 *
 * @param objects the objects analysed; for an analysis from tables, the objects they counted
 * @param objectsTakingPart those with a positive weight and an observed active variable
 * @param weighted whether the objects had weights
 * @param solverAsked the solver asked for
 * @param solver the solver that ran
 * @param iterations the outer iterations run
 * @param stopReason why the run ended
 * @param subspaceDistance the estimated distance of the solution's subspace from its limit; NaN
 *     when not estimated
 * @param fitTolerance NaN when not used
 * @param cosineTolerance NaN when not used
 */
public record ModelFit(long objects, long objectsTakingPart, boolean weighted, Solver solverAsked,
    Solver solver, int iterations, StopReason stopReason, double subspaceDistance,
    int maxIterations, boolean iterationBoundSet, int innerIterations, double convergenceTolerance,
    double fitTolerance, double cosineTolerance) {
  /** Whether the run ended because its solution settled. */
  public boolean converged() {
    return stopReason.isConvergence();
  }

  static ModelFit of(HomalsResult result) {
    HomalsAnalysis analysis = result.analysis();
    CategoryTables tables = analysis.tables();
    return new ModelFit(tables == null ? analysis.objectCount() : tables.objectCount(),
        analysis.participation().count(), analysis.weightsView() != null, analysis.solver(),
        result.solver(), result.iterations(), result.stopReason(), result.subspaceDistance(),
        analysis.maxIterations(), analysis.iterationBoundSet(), analysis.innerIterations(),
        analysis.convergenceTolerance(), analysis.fitTolerance(), analysis.cosineTolerance());
  }
}
