<?xml version="1.0" encoding="UTF-8"?>
<!-- The Local tab's home page: what the catalogue can recognise on this machine, by category. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="catalogue.xsl"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="'Local components'"/>
      <xsl:with-param name="section" select="'Local'"/>
      <xsl:with-param name="lead" select="'The components a scan of this machine found, grouped by catalogue category.'"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <p>The tree on the left lists the components of your local index. To bring it up to date,
      open <b>Options</b> and press <b>Scan CLASSPATH</b>: every archive and class folder on your
      CLASSPATH and in the scan locations listed there (the Maven and Gradle caches, for example)
      is read, and each class is looked up in the catalogue of
      <xsl:value-of select="count(/components/component)"/> components below.</p>
    <form class="search" action="/vantrel/localtab/search.jsp" method="get">
      <input type="text" name="q" placeholder="for example commons" aria-label="Search text"/>
      <xsl:text> </xsl:text><button type="submit">Search the catalogue</button>
    </form>
    <h2>Categories</h2>
    <table>
      <tr><th>Category</th><th>Subcategories</th></tr>
      <xsl:for-each select="/components/component/categories/category[generate-id() = generate-id(key('by-primary', primaryCategory)[1])]">
        <xsl:sort select="primaryCategory"/>
        <xsl:variable name="primary" select="primaryCategory"/>
        <tr>
          <td><a href="/vantrel/localtab/category.jsp?cat={$primary}"><xsl:value-of select="$primary"/></a></td>
          <td>
            <xsl:for-each select="key('by-primary', $primary)[not(secondaryCategory = preceding::category[primaryCategory = $primary]/secondaryCategory)]">
              <xsl:sort select="secondaryCategory"/>
              <xsl:if test="position() &gt; 1"> · </xsl:if>
              <a href="/vantrel/localtab/productlist.jsp?cat={$primary}&amp;subcat={secondaryCategory}"><xsl:value-of select="secondaryCategory"/></a>
            </xsl:for-each>
          </td>
        </tr>
      </xsl:for-each>
    </table>
  </xsl:template>
</xsl:stylesheet>
