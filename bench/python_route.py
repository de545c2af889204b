"""The same analysis by the shortest route a Python user has: pandas' C reader with categorical
columns, a sparse indicator matrix, its cross-product (the Burt table), a dense eigensolution of
the normalised table, the object scores through the indicator, and to_csv. No plots. Only for
the command line's benchmark (bench/command_line_bench.sh); no test runs it.

    python3 bench/python_route.py DATA.csv DIMENSIONS OUTPUT.csv
"""
import sys
import time

import numpy as np
import pandas as pd
import scipy.sparse as sparse


def main():
    data, dimensions, output = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    start = time.perf_counter()
    frame = pd.read_csv(data, dtype="category", engine="c")
    read = time.perf_counter()
    n = len(frame)
    blocks = []
    for name in frame.columns:
        codes = frame[name].cat.codes.to_numpy()
        k = len(frame[name].cat.categories)
        seen = codes >= 0
        rows = np.nonzero(seen)[0]
        blocks.append(sparse.csr_matrix(
            (np.ones(rows.size), (rows, codes[seen])), shape=(n, k)))
    indicator = sparse.hstack(blocks).tocsr()
    observed = np.asarray(indicator.sum(axis=1)).ravel()
    burt = (indicator.T @ indicator).toarray()
    frequency = np.diag(burt).copy()
    scale = 1.0 / np.sqrt(np.where(frequency > 0, frequency, 1.0))
    table = burt * scale[:, None] * scale[None, :] / frame.shape[1]
    values, vectors = np.linalg.eigh(table)
    order = np.argsort(values)[::-1][1:dimensions + 1]  # the first is the trivial solution
    quantifications = vectors[:, order] * scale[:, None] * np.sqrt(n)
    scores = (indicator @ quantifications) / np.where(observed > 0, observed, 1.0)[:, None]
    solved = time.perf_counter()
    table = pd.DataFrame(scores, columns=[f"dim{d + 1}" for d in range(dimensions)])
    table.insert(0, "object", np.arange(1, n + 1))
    table.to_csv(output, index=False)
    written = time.perf_counter()
    print(f"python route: reading {read - start:.2f} s, analysis {solved - read:.2f} s, "
          f"writing {written - solved:.2f} s; eigenvalues "
          + " ".join(f"{values[o]:.4f}" for o in order), file=sys.stderr)


if __name__ == "__main__":
    main()
